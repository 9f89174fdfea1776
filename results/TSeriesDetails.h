#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// A series' own data: its number, date, comment, object and specimen type.
struct TSeriesDetails {
    int id = 0;
    QDateTime date;
    QString comment;
    QString object;
    QString specimenType;
    std::optional<double> multiplier;
};
