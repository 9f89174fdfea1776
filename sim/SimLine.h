#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <random>

// The three controllers on the simulated RS-485 line: the press controller
// (address 255) and the Marshall/CBR load (2) and deformation (3) controllers.
// "U<addr>\r\n" selects a controller, which acknowledges with "OK<addr>\r\n";
// "U0\r\n" (or any unknown address) deselects all and nobody answers.
// "p.v\r\n" gets the selected controller's value: a two-character tag, the
// value in five characters, then "\r\n" (carriage return at position 8).
class SimLine {
public:
    enum class Scenario { Idle, Press, Cbr, Noisy };

    struct Options {
        Scenario scenario = Scenario::Idle;
        unsigned seed = 1;
        double rateKnPerS = 20.0; // press loading rate
        double peakKn = 400.0;    // press failure load
        double pauseS = 8.0;      // pause between tests
        double cbrPeakN = 35.0;   // Marshall/CBR peak load
        double cbrRampS = 20.0;   // Marshall/CBR time to the peak
    };

    explicit SimLine(Options options);

    // The bytes the line carries back for one command received at tSeconds
    // after the start, or nothing when no controller answers.
    std::optional<QByteArray> answer(const QByteArray& command, double tSeconds);

    // Controller readings at a moment, in the controllers' own units.
    double pressReading(double t) const;
    double cbrLoadReading(double t) const;
    double cbrDeformationReading(double t) const;

    // Exactly five characters: right-aligned, as many decimals as fit.
    static QByteArray fiveChars(double value);

    static std::optional<Scenario> scenarioByName(const QString& name);

private:
    std::optional<QByteArray> valueReply(double t);
    QByteArray corrupt(const QByteArray& good);
    double noise(double amplitude);

    Options m_opt;
    int m_selected = 0;
    std::mt19937 m_rng;
};
