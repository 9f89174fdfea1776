#include "acquisition/TPressChannel.h"

#include "acquisition/TReplyForm.h"
#include "core/Exception.h"
#include "core/TimeStamp.h"

#include <cmath>
#include <utility>

TPressChannel::TPressChannel(TLiveView& view, TRecorder& recorder, TEventLog& log,
                             const TClock& clock, QString settingsPath, TFormats formats)
    : m_view(view), m_recorder(recorder), m_log(log), m_steady(clock), m_run(clock),
      m_settingsPath(std::move(settingsPath)), m_formats(std::move(formats)),
      m_settings(m_settingsPath, m_formats.decimalSeparator()) {}

void TPressChannel::ProcessPressSample(TAcqState& s) {
    if (!TReplyForm::value(s.Reply1))
        return; // the caption already shows it
    try {
        // A reading that is no finite number within the controller's field
        // never reaches the readouts or the database.
        const auto raw = TReplyForm::reading(s.Reply1);
        if (!raw.ok())
            throw Exception(raw.reason);
        const auto c = constants();
        if (!c)
            return;
        process(s, *raw.value, *c);
    } catch (const std::exception& e) {
        log(Exception::of(e).message());
    }
}

void TPressChannel::log(const QString& message) {
    try {
        m_log.WriteLog(message, QStringLiteral("commErr"));
    } catch (...) {
        // A log that cannot be written must not stop acquisition.
    }
}

// Constants that cannot work stop recording; the log gets one line for each
// new fault of the file, not one for every sample.
std::optional<TPressSettings::Constants> TPressChannel::constants() {
    const auto c = m_settings.current();
    if (c) {
        m_loggedProblem.clear();
        return c;
    }
    if (m_settings.problem() != m_loggedProblem) {
        m_loggedProblem = m_settings.problem();
        log(m_loggedProblem);
    }
    return std::nullopt;
}

// Readouts are the program's own texts in the operator's format; a point is
// taken as well, so the design's "0.0" reads under any locale.
double TPressChannel::number(const QString& text) const {
    const auto v = TReplyForm::plainNumber(text, m_formats.decimalSeparator());
    if (!v)
        throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return *v;
}

double TPressChannel::nowDays() const {
    return TimeStamp::fromDateTime(m_steady.now());
}

std::optional<double> TPressChannel::rate(double difference, double from, double to) {
    const auto ms = TimeStamp::wholeMs(from, to);
    if (ms == 0)
        return std::nullopt;
    const double r = difference / (double(ms) / 1000.0);
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

// A speed over 0 ms cannot be computed: the sample is recorded with 0, and
// the log says so once for the run.
void TPressChannel::record(TAcqState& s, double load, std::optional<double> speed) {
    if (s.PressRunId <= 0)
        return;
    if (!speed && s.ZeroSpanLoggedRun != s.PressRunId) {
        s.ZeroSpanLoggedRun = s.PressRunId;
        log(QStringLiteral("Speed over a 0 ms span recorded as 0 in this run"));
    }
    m_recorder.AddSampleAt(s.PressRunId, 1, load, speed.value_or(0.0), m_run.now());
}

void TPressChannel::process(TAcqState& s, double raw, const TPressSettings::Constants& c) {
    const double load = c.upp / c.downn * raw + m_view.zeroOffset();
    if (!std::isfinite(load))
        throw Exception(QStringLiteral("Invalid floating point operation"));

    // Peak readout.
    if (number(m_view.readoutText(TReadout::Label11)) < load)
        m_view.setReadoutText(TReadout::Label11, m_formats.format00(load));

    // History of the last ten samples, kept as texts.
    s.ValueHistory.append(m_formats.format00(load));
    s.TimeHistory.append(m_formats.generalText(nowDays()));
    if (s.ValueHistory.size() > kHistory) {
        s.ValueHistory.removeFirst();
        s.TimeHistory.removeFirst();
    }

    // Threshold: a load at or above "maxstart" opens a run, one below ends it.
    if (load >= c.maxstart) {
        if (s.PressRunId < 0) {
            m_run.anchor();
            const QDateTime at = m_run.now();
            if (m_context)
                m_context->setPress(at, {c.upp, c.downn, c.maxstart, m_view.zeroOffset()});
            s.PressRunId = m_recorder.StartRunAt(1, at);
            s.RunStartValue = load;
            s.RunStartTime = nowDays();
        }
    } else {
        if (s.PressRunId > 0)
            m_recorder.EndRun(std::exchange(s.PressRunId, -1));
        s.PressRunId = -1;
        m_view.setReadoutText(TReadout::Label11, m_formats.format00(load));
    }

    // A speed over 0 ms is not computed: it counts as 0 here, and the
    // readouts below keep their texts.
    record(s, load, rate(load - s.PrevValue, s.PrevTime, nowDays()));
    m_view.AddPressPoints(load, rate(load - s.PrevValue, s.PrevTime, nowDays()).value_or(0.0));

    const double oldest = number(s.ValueHistory.first());
    const double oldestTime = number(s.TimeHistory.first());
    if (const auto current = rate(load - oldest, oldestTime, nowDays()))
        m_view.setReadoutText(TReadout::Label12, m_formats.format00(*current));

    if (const auto average = rate(load - s.RunStartValue, s.RunStartTime, nowDays()))
        m_view.setReadoutText(TReadout::Label18, m_formats.format00(*average));

    s.PrevValue = load;
    s.PrevTime = nowDays();
}
