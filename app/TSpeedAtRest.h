#pragma once

#include "core/TextFormats.h"

#include <QStringList>

// Between runs the press is at rest, and the speed computed from the
// reading's noise and drift (a few tenths of a kN either way) would show as a
// speed of its own, negative as often as not. While no run is open, a load
// whose last ten samples (about 3 s) stay within kNoiseKn of each other is at
// rest: its speed is shown as 0. A load that moves more than that shows its
// speed as computed.
class TSpeedAtRest {
public:
    // Two steps of the controller's last digit (0.1 of a reading, about
    // 0.2 kN at the usual scale) plus the noise seen on an unloaded press.
    static constexpr double kNoiseKn = 0.5;

    // history: the last loads as the readouts show them.
    static bool atRest(const QStringList& history, const TFormats& formats);
};
