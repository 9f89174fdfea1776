// The program as a process: a termination signal mid-run loses no sample and
// ends the program in order; a second program on the same database says so
// and ends; the port the first program holds cannot be opened again.
#include "serial/ComPortU.h"
#include "testsupport/AppProcess.h"
#include "testsupport/GTestQt.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Process, TerminationSignalMidRunKeepsEverySampleAndEndsInOrder) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        makeTestDatabase(dir.path() + "/NUV.GDB");
        writePressSettings(dir.path(), 5);
        // A slow ramp: the run is still open when the signal comes.
        SimProcess sim(dir.path(), 5,
                       {"--scenario", "press", "--rate", "10", "--peak", "900", "--pause", "0"});
        QThread::msleep(1000); // 10 kN at 10 kN/s: past the 5.2 kN threshold
        AppProcess app(dir.path());
        ASSERT_TRUE(waitFor([&] { return pollTimes(sim.logPath()).size() >= 12; }, 15000));
        QThread::msleep(700);
        const QDateTime signalled = QDateTime::currentDateTime();
        app.signal(signo);
        ASSERT_TRUE(app.process().waitForFinished(5000))
            << "still running 5 s after signal " << signo;
        EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.process().exitCode(), 0);

        const QList<QDateTime> samples = sampleTimes(dir.path() + "/NUV.GDB");
        ASSERT_FALSE(samples.isEmpty());
        // The ramp is past the start threshold before the program's first poll,
        // so every poll is a sample of the one run: every poll whose reply
        // (10 ms later) came before the signal is in the database.
        qsizetype answered = 0;
        for (const QDateTime& polled : pollTimes(sim.logPath()))
            if (polled.msecsTo(signalled) > 60)
                ++answered;
        EXPECT_GE(samples.size(), answered) << "signal " << signo;
        EXPECT_EQ(isql(dir.path() + "/NUV.GDB", "set list on; select count(*) as runs from mes;")
                      .simplified(),
                  "RUNS 1");
        // The close button's path: the window's state is saved.
        EXPECT_TRUE(readAll(dir.path() + "/prjNUV.ini").contains("NormPos=")) << signo;
        EXPECT_FALSE(QFile::exists(dir.path() + "/prjNUV.log"))
            << readAll(dir.path() + "/prjNUV.log").toStdString();
    }
}

TEST(Process, SecondProgramOnTheDatabaseSaysSoAndEndsAndTheHeldPortStaysShut) {
    QTemporaryDir dir;
    makeTestDatabase(dir.path() + "/NUV.GDB");
    writePressSettings(dir.path(), 6);
    SimProcess sim(dir.path(), 6, {"--scenario", "idle"});
    AppProcess first(dir.path());
    ASSERT_TRUE(waitFor([&] { return sim.commands().size() >= 3; }, 15000));

    QElapsedTimer clock;
    clock.start();
    AppProcess second(dir.path());
    ASSERT_TRUE(second.process().waitForFinished(5000)) << "the second program stays alive";
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_NE(second.process().exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(second.process().readAllStandardError())
                    .contains("Програмата вече работи с тази база данни"));
    EXPECT_EQ(first.process().state(), QProcess::Running);

    // Another program cannot open the port that the first one polls.
    EXPECT_THROW(TComPort(6, 4800, 200, 1, 1, 250, 0, 0, ComPortMap(dir.path() + "/ports")),
                 EOpenComm);

    first.signal(SIGTERM);
    ASSERT_TRUE(first.process().waitForFinished(5000));
    EXPECT_EQ(first.process().exitCode(), 0);
    // Once the first has ended, the next start is the only one and runs.
    AppProcess third(dir.path());
    EXPECT_FALSE(third.process().waitForFinished(1500));
    third.signal(SIGTERM);
    EXPECT_TRUE(third.process().waitForFinished(5000));
}

TEST(Process, SettingsThatCannotWorkAreRefusedAndTheRefusalEndsOnASignal) {
    QTemporaryDir dir;
    makeTestDatabase(dir.path() + "/NUV.GDB");
    writeAll(dir.path() + "/prjNUV.ini",
             "[frmStorage]\r\nlblCom_Caption=3\r\n[dev]\r\ndownn=0\r\n");
    AppProcess app(dir.path());
    // The message stays for the operator to read ...
    EXPECT_FALSE(app.process().waitForFinished(1500));
    // ... and a termination signal still ends the program.
    app.signal(SIGTERM);
    ASSERT_TRUE(app.process().waitForFinished(5000));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_NE(app.process().exitCode(), 0);
    const QString said = QString::fromLocal8Bit(app.process().readAllStandardError());
    EXPECT_TRUE(said.contains(dir.path() + "/prjNUV.ini")) << said.toStdString();
    EXPECT_TRUE(said.contains("„downn“")) << said.toStdString();
    // Nothing was started: no window state saved, no log.
    EXPECT_FALSE(readAll(dir.path() + "/prjNUV.ini").contains("NormPos"));
}

} // namespace
