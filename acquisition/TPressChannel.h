#pragma once

#include "TAcqState.h"
#include "TEventLog.h"
#include "TLiveView.h"
#include "TRecorder.h"
#include "TextFormats.h"

// The press channel: a reply of the PLQ-4000 controller becomes a load in kN,
// the readouts, the chart, the run detection at the start threshold and the
// recording of the run's samples. Failures go to the event log.
class TPressChannel {
public:
    TPressChannel(TLiveView& view, TRecorder& recorder, TEventLog& log, const TClock& clock,
                  QString settingsPath, TFormats formats = TFormats());

    void ProcessPressSample(TAcqState& s);

    static constexpr double kDefaultUpp = 52.2;
    static constexpr double kDefaultDownn = 26.2;
    static constexpr double kDefaultMaxStart = 5.2;
    static constexpr int kHistory = 10;

private:
    void process(TAcqState& s, const QString& valueText);
    double number(const QString& text) const;
    double nowDays() const;
    // (difference) / (span in seconds); std::nullopt for a span of 0 ms.
    static std::optional<double> rate(double difference, double from, double to);

    TLiveView& m_view;
    TRecorder& m_recorder;
    TEventLog& m_log;
    const TClock& m_clock;
    QString m_settingsPath;
    TFormats m_formats;
};
