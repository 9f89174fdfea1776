#pragma once

#include "TIBQuery.h"

#include <QList>
#include <QPointF>
#include <QString>

// What the grouping and review windows show of a run.
namespace TRunData {

// "PLQ-4000" for device 1, "CBR-MARSHALL" for device 2, else empty.
QString devName(const QVariant& devId);

// (time in ms since the epoch, value) of a samples query's rows with both
// set, in ascending order of time.
QList<QPointF> samplePoints(const TIBQuery& samples);

} // namespace TRunData
