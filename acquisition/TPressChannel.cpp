#include "TPressChannel.h"

#include "Exception.h"
#include "TReplyForm.h"
#include "TimeStamp.h"
#include "U_IniFile.h"

#include <cmath>

namespace {

const QString kSection = QStringLiteral("dev");

QString notANumber(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

} // namespace

TPressChannel::TPressChannel(TLiveView& view, TRecorder& recorder, TEventLog& log,
                             const TClock& clock, QString settingsPath, TFormats formats)
    : m_view(view), m_recorder(recorder), m_log(log), m_clock(clock),
      m_settingsPath(std::move(settingsPath)), m_formats(std::move(formats)) {}

void TPressChannel::ProcessPressSample(TAcqState& s) {
    const auto valueText = TReplyForm::value(s.Reply1);
    if (!valueText)
        return; // the caption already shows it
    try {
        process(s, *valueText);
    } catch (const std::exception& e) {
        const auto* ours = dynamic_cast<const Exception*>(&e);
        try {
            m_log.WriteLog(ours ? ours->message() : QString::fromUtf8(e.what()),
                           QStringLiteral("commErr"));
        } catch (...) {
            // A log that cannot be written must not stop acquisition.
        }
    }
}

// Readouts are the program's own texts; the controller writes a point. Both
// are taken with the locale's separator or a point, so the design's "0.0"
// reads under any locale.
double TPressChannel::number(const QString& text) const {
    const auto v = m_formats.controllerNumber(text);
    if (!v)
        throw Exception(notANumber(text));
    return *v;
}

double TPressChannel::nowDays() const {
    return TimeStamp::fromDateTime(m_clock.now());
}

std::optional<double> TPressChannel::rate(double difference, double from, double to) {
    const auto ms = TimeStamp::wholeMs(from, to);
    if (ms == 0)
        return std::nullopt;
    return difference / (double(ms) / 1000.0);
}

void TPressChannel::process(TAcqState& s, const QString& valueText) {
    const double raw = number(valueText);

    double upp, downn, maxstart;
    {
        T_IniFile ini(m_settingsPath, m_formats);
        upp = ini.ReadFloat(kSection, QStringLiteral("upp"), kDefaultUpp);
        downn = ini.ReadFloat(kSection, QStringLiteral("downn"), kDefaultDownn);
        maxstart = ini.ReadFloat(kSection, QStringLiteral("maxstart"), kDefaultMaxStart);
    }
    if (downn == 0)
        throw Exception(upp == 0 ? QStringLiteral("Invalid floating point operation")
                                 : QStringLiteral("Floating point division by zero"));
    const double load = upp / downn * raw + m_view.zeroOffset();
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
    if (load >= maxstart) {
        if (s.PressRunId < 0) {
            s.PressRunId = m_recorder.StartRun(1);
            s.RunStartValue = load;
            s.RunStartTime = nowDays();
        }
    } else {
        s.PressRunId = -1;
        m_view.setReadoutText(TReadout::Label11, m_formats.format00(load));
    }

    // A speed over 0 ms is not computed: it counts as 0 here, and the
    // readouts below keep their texts.
    const double speed = rate(load - s.PrevValue, s.PrevTime, nowDays()).value_or(0.0);
    if (s.PressRunId > 0)
        m_recorder.AddSample(s.PressRunId, 1, load, speed);
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
