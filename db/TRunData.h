#pragma once

#include "core/TextFormats.h"
#include "db/TIBQuery.h"

#include <QList>
#include <QPointF>
#include <QString>

class QObject;
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

} // namespace TRunData
