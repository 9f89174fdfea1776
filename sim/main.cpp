// nuv-sim: the measuring controllers of the press and of the Marshall/CBR
// frame on a pseudo-terminal, linked as <dir>/ports/COM<n>.
#include "core/TClock.h"
#include "serial/PseudoTerminal.h"
#include "sim/SimLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: poll() returns so the loop can stop
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

QByteArray escaped(const QByteArray& bytes) {
    QByteArray out;
    for (char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            out += "\\x" +
                   QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("nuv-sim");
    QCommandLineParser p;
    p.setApplicationDescription(
        "Simulates the press (address 255) and Marshall/CBR (2, 3) controllers on a "
        "pseudo-terminal linked as <dir>/ports/COM<port>.");
    p.addHelpOption();
    const QCommandLineOption dirOpt(
        "dir", "Folder whose ports/ gets the link (default: beside nuv-sim).", "folder");
    const QCommandLineOption portOpt("port", "COM number of the link (default 1).", "n", "1");
    const QCommandLineOption scenarioOpt("scenario", "idle, press, cbr or noisy (default press).",
                                         "name", "press");
    const QCommandLineOption seedOpt("seed", "Seed of the noise, for repeatable runs (default 1).",
                                     "n", "1");
    const QCommandLineOption logOpt(
        "log", "Write every received command with a timestamp to this file.", "file");
    const QCommandLineOption rateOpt("rate", "Press loading rate in kN/s (default 20).", "kN/s",
                                     "20");
    const QCommandLineOption peakOpt("peak", "Press failure load in kN (default 400).", "kN",
                                     "400");
    const QCommandLineOption pauseOpt("pause", "Seconds between tests (default 8).", "s", "8");
    const QCommandLineOption cbrPeakOpt("cbr-peak", "Marshall/CBR peak load (default 35).", "N",
                                        "35");
    const QCommandLineOption cbrRampOpt(
        "cbr-ramp", "Marshall/CBR seconds to the peak (default 20).", "s", "20");
    const QCommandLineOption delayOpt(
        "reply-delay", "Milliseconds before a controller answers (default 10).", "ms", "10");
    const QCommandLineOption durationOpt(
        "duration", "Stop after this many seconds (default: run until stopped).", "s", "0");
    p.addOptions({dirOpt, portOpt, scenarioOpt, seedOpt, logOpt, rateOpt, peakOpt, pauseOpt,
                  cbrPeakOpt, cbrRampOpt, delayOpt, durationOpt});
    p.process(app);

    SimLine::Options opt;
    const auto scenario = SimLine::scenarioByName(p.value(scenarioOpt));
    if (!scenario) {
        std::fprintf(stderr, "nuv-sim: unknown scenario '%s'\n", qPrintable(p.value(scenarioOpt)));
        return 2;
    }
    opt.scenario = *scenario;
    opt.seed = p.value(seedOpt).toUInt();
    opt.rateKnPerS = p.value(rateOpt).toDouble();
    opt.peakKn = p.value(peakOpt).toDouble();
    opt.pauseS = p.value(pauseOpt).toDouble();
    opt.cbrPeakN = p.value(cbrPeakOpt).toDouble();
    opt.cbrRampS = p.value(cbrRampOpt).toDouble();
    const int replyDelay = p.value(delayOpt).toInt();
    const double duration = p.value(durationOpt).toDouble();
    const QString dir = p.isSet(dirOpt) ? p.value(dirOpt) : QCoreApplication::applicationDirPath();
    const int port = p.value(portOpt).toInt();

    installSignals();
    PseudoTerminal pty;
    const QString link = pty.linkAs(dir + "/ports", port);

    QFile log;
    if (p.isSet(logOpt)) {
        log.setFileName(p.value(logOpt));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            std::fprintf(stderr, "nuv-sim: cannot write %s\n", qPrintable(log.fileName()));
            return 2;
        }
    }

    std::printf("nuv-sim: COM%d -> %s (%s)\n", port, qPrintable(pty.slaveName()), qPrintable(link));
    std::fflush(stdout);

    SimLine line(opt);
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    QByteArray pending;
    while (!g_stop && (duration <= 0 || seconds() < duration)) {
        pending += pty.read(100);
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QByteArray command = pending.left(nl + 1);
            pending.remove(0, nl + 1);
            if (log.isOpen())
                log.write(TClock::program().now().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
                          escaped(command) + '\n');
            if (const auto reply = line.answer(command, seconds())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(replyDelay));
                pty.write(*reply);
            }
        }
        if (pending.size() > 4096)
            pending.clear(); // a line without an end is noise
    }
    return 0;
}
