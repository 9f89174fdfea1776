#pragma once

#include "acquisition/TAcqState.h"
#include "acquisition/TLiveView.h"
#include "acquisition/TPressSettings.h"
#include "core/TClock.h"
#include "core/TEventLog.h"
#include "core/TRunContext.h"
#include "core/TextFormats.h"
#include "db/TRecorder.h"

// The press channel: a reply of the PLQ-4000 controller becomes a load in kN,
// the readouts, the chart, the run detection at the start threshold and the
// recording of the run's samples. Failures go to the event log.
class TPressChannel {
public:
    TPressChannel(TLiveView& view, TRecorder& recorder, TEventLog& log, const TClock& clock,
                  QString settingsPath, TFormats formats = TFormats());

    void ProcessPressSample(TAcqState& s);

    static constexpr double kDefaultUpp = TPressSettings::kDefaultUpp;
    static constexpr double kDefaultDownn = TPressSettings::kDefaultDownn;
    static constexpr double kDefaultMaxStart = TPressSettings::kDefaultMaxStart;
    static constexpr int kHistory = 10;

    const TPressSettings& settings() const { return m_settings; }
    // Told the constants and the zero offset in force whenever a run opens.
    void setContextSource(TRunContextSource* source) { m_context = source; }

private:
    void process(TAcqState& s, double raw, const TPressSettings::Constants& c);
    std::optional<TPressSettings::Constants> constants();
    void record(TAcqState& s, double load, std::optional<double> speed);
    void log(const QString& message);
    double number(const QString& text) const;
    double nowDays() const;
    // (difference) / (span in seconds); std::nullopt for a span of 0 ms.
    static std::optional<double> rate(double difference, double from, double to);

    TLiveView& m_view;
    TRecorder& m_recorder;
    TEventLog& m_log;
    // Spans come from time that does not step when the computer's clock is
    // set; a run's samples are stamped from the wall time it opened at, moved
    // on the same way, so their moments never jump within the run.
    TSteadyClock m_steady;
    TSteadyClock m_run;
    QString m_settingsPath;
    TFormats m_formats;
    TPressSettings m_settings;
    TRunContextSource* m_context = nullptr;
    QString m_loggedProblem; // a bad constant is logged once, not for every sample
};
