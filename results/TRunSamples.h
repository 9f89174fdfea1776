#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// One load reading of a run. A frame run's load carries the deformation of
// the same recording step; a press run's carries none.
struct TLoadSample {
    std::int64_t ms = 0; // after the run's first load sample
    double kn = 0;
    std::optional<double> speed;
    std::optional<double> mm;
};

// A run as the results see it: its load readings in the order they were recorded.
struct TRunSamples {
    int id = 0;
    QDateTime started;
    int device = 0;
    std::vector<TLoadSample> loads;
    // From the run's context: who recorded it and its seal; empty when not
    // known. Braced, so a run built as {id, started, device, loads} needs neither.
    QString operatorLogin{};
    QString seal{};

    bool isPress() const { return device == 1; }
    bool isFrame() const { return device == 2; }
};
