#include "sim/SimLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The press controller reports the reading that the program scales by
// upp/downn (52.2/26.2 by default) into kN.
constexpr double kPressKnPerReading = 52.2 / 26.2;
// The Marshall/CBR load is reading * 25/127 * 1.02 in the program.
constexpr double kCbrLoadPerReading = 25.0 / 127.0 * 1.02;

} // namespace

SimLine::SimLine(Options options) : m_opt(options), m_rng(options.seed) {}

std::optional<SimLine::Scenario> SimLine::scenarioByName(const QString& name) {
    if (name == QLatin1String("idle"))
        return Scenario::Idle;
    if (name == QLatin1String("press"))
        return Scenario::Press;
    if (name == QLatin1String("cbr"))
        return Scenario::Cbr;
    if (name == QLatin1String("noisy"))
        return Scenario::Noisy;
    return std::nullopt;
}

// A controller writes a point whatever the locale of the machine that runs
// the simulator, so the text is not made by the C library's printf.
QByteArray SimLine::fiveChars(double value) {
    QByteArray text;
    for (int decimals = 3; decimals >= 0; --decimals) {
        text = QByteArray::number(value, 'f', decimals).rightJustified(5, ' ');
        if (text.size() <= 5)
            return text;
    }
    return text.left(5); // out of range: the controller shows garbage too
}

double SimLine::noise(double amplitude) {
    std::uniform_real_distribution<double> d(-amplitude, amplitude);
    return d(m_rng);
}

double SimLine::pressReading(double t) const {
    if (m_opt.scenario != Scenario::Press && m_opt.scenario != Scenario::Noisy)
        return 0.0;
    const double ramp = m_opt.peakKn / std::max(m_opt.rateKnPerS, 0.001);
    const double drop = 2.0;
    const double cycle = m_opt.pauseS + ramp + drop;
    const double s = std::fmod(t, cycle);
    double kn = 0.0;
    if (s < m_opt.pauseS)
        kn = 0.0;
    else if (s < m_opt.pauseS + ramp)
        kn = (s - m_opt.pauseS) * m_opt.rateKnPerS;
    else
        kn = m_opt.peakKn * (1.0 - (s - m_opt.pauseS - ramp) / drop) * 0.05; // specimen broke
    return kn / kPressKnPerReading;
}

double SimLine::cbrLoadReading(double t) const {
    if (m_opt.scenario != Scenario::Cbr && m_opt.scenario != Scenario::Noisy)
        return 0.0;
    const double rise = m_opt.cbrRampS;
    const double fall = rise / 2;
    const double cycle = m_opt.pauseS + rise + fall;
    const double s = std::fmod(t, cycle);
    double n = 0.0;
    if (s >= m_opt.pauseS && s < m_opt.pauseS + rise)
        n = m_opt.cbrPeakN * (s - m_opt.pauseS) / rise;
    else if (s >= m_opt.pauseS + rise)
        n = m_opt.cbrPeakN * (1.0 - (s - m_opt.pauseS - rise) / fall);
    return n / kCbrLoadPerReading;
}

double SimLine::cbrDeformationReading(double t) const {
    // The dial gauge reads 25 mm unloaded and falls while the specimen yields;
    // the specimen does not spring back, so the reading stays down until the
    // next specimen is set in, in the pause.
    if (m_opt.scenario != Scenario::Cbr && m_opt.scenario != Scenario::Noisy)
        return 25.0;
    const double rise = m_opt.cbrRampS;
    const double cycle = m_opt.pauseS + rise + rise / 2;
    const double s = std::fmod(t, cycle);
    // The operator takes the specimen out a while after the load is off.
    if (t >= cycle && s < m_opt.pauseS / 2)
        return 25.0 - 8.0;
    if (s < m_opt.pauseS)
        return 25.0;
    const double yielded = std::clamp((s - m_opt.pauseS) / rise, 0.0, 1.0);
    return 25.0 - 8.0 * yielded;
}

std::optional<QByteArray> SimLine::answer(const QByteArray& command, double t) {
    const QByteArray cmd = command.trimmed();
    if (cmd.startsWith('U')) {
        bool ok = false;
        const int addr = cmd.mid(1).toInt(&ok);
        m_selected = (ok && (addr == 255 || addr == 2 || addr == 3)) ? addr : 0;
        if (m_selected == 0)
            return std::nullopt;
        return "OK" + QByteArray::number(m_selected) + "\r\n";
    }
    if (cmd == "p.v")
        return valueReply(t);
    return std::nullopt;
}

std::optional<QByteArray> SimLine::valueReply(double t) {
    QByteArray tag;
    double v = 0.0;
    switch (m_selected) {
    case 255:
        tag = "PL";
        v = pressReading(t) + noise(0.02);
        break;
    case 2:
        tag = "ML";
        v = cbrLoadReading(t) + noise(0.02);
        break;
    case 3:
        tag = "MD";
        v = cbrDeformationReading(t);
        break;
    default:
        return std::nullopt;
    }
    const QByteArray good = tag + fiveChars(v) + "\r\n";
    if (m_opt.scenario != Scenario::Noisy)
        return good;
    std::uniform_int_distribution<int> pick(0, 99);
    if (pick(m_rng) < 65)
        return good;
    if (pick(m_rng) < 15)
        return std::nullopt; // missing
    return corrupt(good);
}

QByteArray SimLine::corrupt(const QByteArray& good) {
    std::uniform_int_distribution<int> kind(0, 6);
    std::uniform_int_distribution<int> byte(0, 255);
    switch (kind(m_rng)) {
    case 0: { // garbled bytes
        QByteArray g = good;
        for (int i = 0; i < 3; ++i)
            g[std::uniform_int_distribution<int>(0, int(g.size()) - 1)(m_rng)] = char(byte(m_rng));
        return g;
    }
    case 1: // truncated: cut before the line end
        return good.left(std::uniform_int_distribution<int>(1, int(good.size()) - 2)(m_rng));
    case 2: // over-long, more than the 50 bytes a read takes
        return QByteArray(45, '#') + good + good;
    case 3: { // carriage return too early (positions 1 to 6)
        const int pos = std::uniform_int_distribution<int>(0, 5)(m_rng);
        return good.left(pos) + "\r\n";
    }
    case 4: // not a number
        return "PLab.cd\r\n";
    case 5: // empty line
        return "\r\n";
    default: // binary noise
        QByteArray g;
        for (int i = 0; i < 12; ++i)
            g.append(char(byte(m_rng)));
        return g;
    }
}
