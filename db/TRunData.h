#pragma once

#include "TIBQuery.h"
#include "TextFormats.h"

#include <QList>
#include <QPointF>
#include <QString>

class QWidget;
class TDBGrid;

// What the grouping and review windows show of a run.
namespace TRunData {

// "PLQ-4000" for device 1, "CBR-MARSHALL" for device 2, else empty.
QString devName(const QVariant& devId);

// (time in ms since the epoch, value) of a samples query's rows with both
// set, in ascending order of time.
QList<QPointF> samplePoints(const TIBQuery& samples);

// The run list grid of both windows: "Пореден номер", "Старт", "Име" under "Тест".
TDBGrid* runListGrid(const QString& name, TIBQuery& runs, const TFormats& formats, QWidget* parent);

} // namespace TRunData
