#pragma once

#include "testsupport/Child.h"

#include <QChartView>
#include <QLineSeries>

// The index-th curve of a window's chart, in the order the window added them.
inline QLineSeries* curve(const QObject& window, const char* chartName, int index) {
    const QList<QAbstractSeries*> all = child<QChartView>(window, chartName)->chart()->series();
    auto* line = index < all.size() ? qobject_cast<QLineSeries*>(all.at(index)) : nullptr;
    if (!line)
        throw std::logic_error(std::string("no curve ") + std::to_string(index) + " in chart \"" +
                               chartName + "\"");
    return line;
}
