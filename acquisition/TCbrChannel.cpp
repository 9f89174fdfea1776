#include "acquisition/TCbrChannel.h"

#include "acquisition/TReplyForm.h"
#include "core/Exception.h"

#include <utility>

TCbrChannel::TCbrChannel(TLiveView& view, TRecorder& recorder, TFormats formats,
                         const TClock& clock)
    : m_view(view), m_recorder(recorder), m_formats(std::move(formats)), m_run(clock) {}

void TCbrChannel::ProcessCbrSample(TAcqState& s) {
    const auto loadText = TReplyForm::value(s.Reply1);
    if (!loadText)
        return;
    try {
        process(s, *loadText);
    } catch (...) {
        // This channel's failures are dropped: the next reading tries again.
    }
}

// A controller's reading: a finite number within its five-character field.
double TCbrChannel::controllerValue(const QString& text) {
    const auto r = TReplyForm::number(text);
    if (!r.ok())
        throw Exception(r.reason);
    return *r.value;
}

// The program's own readout text, in the operator's format or with a point.
double TCbrChannel::number(const QString& text) const {
    const auto v = TReplyForm::plainNumber(text, m_formats.decimalSeparator());
    if (!v)
        throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return *v;
}

void TCbrChannel::process(TAcqState& s, const QString& loadText) {
    const auto deformationText = TReplyForm::anyFive(s.Reply2);
    if (!deformationText)
        return; // no deformation reading: no sample
    const double raw = TCbrChannel::controllerValue(loadText);
    const double reading = TCbrChannel::controllerValue(*deformationText);

    double load = raw * kLoadFactor;
    load = load + load * 0.02;

    if (number(m_view.readoutText(TReadout::Label15)) < load)
        m_view.setReadoutText(TReadout::Label15, m_formats.format00(load));

    if (load < kThreshold) {
        if (s.CbrRunId > 0)
            m_recorder.EndRun(std::exchange(s.CbrRunId, -1));
        s.CbrRunId = -1;
        m_view.setReadoutText(TReadout::Label15, m_formats.format00(load));
        m_view.setReadoutText(TReadout::Label16, m_formats.format00(kDeformationBase - reading));
    } else if (s.CbrRunId < 0) {
        m_run.anchor();
        s.CbrRunId = m_recorder.StartRunAt(2, m_run.now());
        s.StartDeformation = reading;
    }

    if (s.CbrRunId > 0) {
        const QDateTime at = m_run.now();
        m_recorder.AddSampleAt(s.CbrRunId, 2, load, 0, at);
        m_recorder.AddSampleAt(s.CbrRunId, 3, s.StartDeformation - reading, 0, at);
    } else {
        s.StartDeformation = kDeformationBase;
    }
    m_view.AddCbrPoints(load, s.StartDeformation - reading);
}
