#pragma once

#include "acquisition/TAcqState.h"
#include "acquisition/TLiveView.h"
#include "core/TClock.h"
#include "core/TextFormats.h"
#include "db/TRecorder.h"

// The Marshall/CBR channel: the load and deformation replies become a load
// and a deformation, shown, charted, and recorded under devices 2 and 3 while
// a run is open. Failures are dropped silently.
class TCbrChannel {
public:
    TCbrChannel(TLiveView& view, TRecorder& recorder, TFormats formats = TFormats(),
                const TClock& clock = TClock::program());

    void ProcessCbrSample(TAcqState& s);

    static constexpr double kLoadFactor = 25.0 / 127.0;
    static constexpr double kThreshold = 1.0;
    static constexpr double kDeformationBase = 25.0;

private:
    void process(TAcqState& s, const QString& loadText);
    double number(const QString& text) const;
    static double controllerValue(const QString& text);

    TLiveView& m_view;
    TRecorder& m_recorder;
    TFormats m_formats;
    // A run's samples are stamped from the wall time it opened at, moved on
    // by time that does not step when the computer's clock is set.
    TSteadyClock m_run;
};
