#pragma once

#include "core/TColumnGrid.h"
#include "core/TCurveExtent.h"
#include "core/TextFormats.h"
#include "db/TIBQuery.h"
#include "db/TRunOverview.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <optional>

class QObject;
class TIBDatabase;
class TQueryModel;

// What the grouping and review windows show of a run.
namespace TRunData {

// "PLQ-4000" for device 1, "CBR-MARSHALL" for device 2, else empty.
QString devName(const QVariant& devId);

// (time in ms since the epoch, value) of a samples query's rows with both
// set, in ascending order of time.
QList<QPointF> samplePoints(const TIBQuery& samples);

// The run list of both windows: "Пореден номер", "Старт", "Име".
TQueryModel* runListModel(TIBQuery& runs, const TFormats& formats, QObject* parent);

// Which samples of a run make which curve. The grouping window draws every
// sample of a run as one curve and computes its values from all of them;
// the review draws the load (DEV_ID 1 or 2) and the deformation (DEV_ID 3)
// apart and computes its values from the load alone.
enum class Curves { All, LoadAndDeformation };

// The extents of a run's curves (samples with a time and a value), counted
// by the engine without sending the samples.
QList<TCurveExtent> extents(TIBQuery& q, const QVariant& runId, Curves curves);

// What one pass over a run's samples gives.
struct Pass {
    // (ms since the epoch, value) in ascending order of time; every sample,
    // or reduced to the grid that was given.
    QList<QList<QPointF>> curves;
    // Over the samples the values are computed from: the largest value, the
    // first sample time, and the first time the largest value is reached;
    // null when there is none, as the aggregate statements give them.
    QVariant maxValue;
    QVariant startA;
    QVariant timeOfMax;
};
// Reads the run's samples once, in the order the engine keeps them, keeping
// none of them beyond the curves. Points of equal time are in the order of
// their ids.
Pass read(TIBQuery& q, const QVariant& runId, Curves curves,
          const std::optional<TColumnGrid>& grid = std::nullopt);

// The kinds of samples (TSample::Kind) that make each curve.
QList<QList<int>> curveKinds(Curves curves);

// The statements of the pass; both take the run's id.
extern const QString kExtentsAll;
extern const QString kExtentsLoadAndDeformation;
extern const QString kSamples;
// A row of kSamples, or of the samples read again by their ids.
TSample sampleOf(const TIBRow& row);

// A run's overview, from one pass over its samples as they are stored.
TRunOverview overviewOf(TIBQuery& q, const QVariant& runId);
// Stores the overview of a run that ended, in place of any earlier one; a
// run of fewer than TRunOverview::kLeastSamples points gets none.
void storeOverview(TIBQuery& q, int runId, const TRunOverview& overview);
// The run's stored overview; none for a run that ended before overviews
// were kept, or whose overview cannot be read.
std::optional<TRunOverview> loadOverview(TIBQuery& q, const QVariant& runId);
// The samples of a run whose ids lie in [first, last], by the ids' index.
void samplesBetween(TIBQuery& q, const QVariant& runId, qint32 first, qint32 last,
                    const std::function<void(const TSample&)>& sample);
// Adds the table of overviews to a database that lacks it; the reason when
// that fails (a read-only database: runs then open by reading their samples).
std::optional<QString> ensureOverviews(TIBDatabase& db);

} // namespace TRunData
