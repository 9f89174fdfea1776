// The program's folder on a disk that is full, or fills while a run is
// recorded and is then freed: a small tmpfs, mounted in a user and mount
// namespace of the test's own (no root needed), filled by another file.
#include "testsupport/AppProcess.h"
#include "testsupport/SimProcess.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

constexpr char kInside[] = "NUV_FULL_DISK_INSIDE";

// Runs the current test again inside a namespace of its own; false (with
// the reason) when the kernel does not allow one.
bool rerunInNamespace(QString* why) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kInside, "1");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("unshare", {"--user", "--map-root-user", "--mount", QCoreApplication::applicationFilePath(),
                        QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())});
    EXPECT_TRUE(p.waitForFinished(170000));
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (out.contains("[  SKIPPED ]") || (p.exitCode() != 0 && !out.contains("[  FAILED  ]"))) {
        *why = out.right(400);
        return false;
    }
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    return true;
}

// Writes until the disk says it is full; the file can be removed to free it.
void fill(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    static const QByteArray chunk(64 * 1024, 'x');
    for (qsizetype size = chunk.size(); size > 0; size /= 2)
        while (::write(fd, chunk.constData(), size_t(size)) == size) {
        }
    ::close(fd);
}

// A log is whole when every line is one event or a continuation of one,
// each ended by CR LF: nothing half-written, no NUL bytes.
void expectWholeLog(const QString& path) {
    const QByteArray log = readAll(path);
    if (log.isEmpty())
        return;
    EXPECT_TRUE(log.endsWith("\r\n")) << log.right(200).toStdString();
    EXPECT_FALSE(log.contains('\0'));
    EXPECT_TRUE(QRegularExpression("^\\S.* -> ").match(QString::fromLatin1(log)).hasMatch());
}

struct Case {
    const char* name;
    bool fullAtStart;
};

class FullDisk : public ::testing::TestWithParam<Case> {};

TEST_P(FullDisk, NothingRecordedIsLostAndEveryFileStaysWhole) {
    if (!qEnvironmentVariableIsSet(kInside)) {
        QString why;
        if (!rerunInNamespace(&why))
            GTEST_SKIP() << "no user and mount namespace here: " << why.toStdString();
        return;
    }
    const Case c = GetParam();
    QTemporaryDir outside, disk;
    const QString dir = disk.path();
    // What the tmpfs must hold besides the filler: the program, its database
    // and a little room to grow.
    const qint64 room = QFileInfo(NUV_BIN_DIR "/prjNUV").size() + 16 * 1024 * 1024;
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                QStringLiteral("size=%1").arg(room).toLatin1().constData()) != 0)
        GTEST_SKIP() << "the kernel refuses a tmpfs here: " << std::strerror(errno);

    makeTestDatabase(dir + "/NUV.GDB");
    QFile::copy(NUV_BIN_DIR "/prjNUV", dir + "/prjNUV");
    writePressSettings(dir, 7);
    const QByteArray settings =
        readAll(dir + "/prjNUV.ini") + "[dev]\r\nupp=52.2\r\ndownn=26.2\r\nmaxstart=5.2\r\n";
    writeAll(dir + "/prjNUV.ini", settings);
    writeAll(dir + "/prjNUV.log", "1.12.26 10:00:00 -> NEW LOG\r\n");
    // The simulator's link and command log stay off the full disk.
    ASSERT_TRUE(QFile::link(outside.path() + "/ports", dir + "/ports"));
    // A slow ramp: one run for the whole test.
    SimProcess sim(outside.path(), 7,
                   {"--scenario", "press", "--rate", "4", "--peak", "900", "--pause", "0"});
    QThread::msleep(2000); // past the 5.2 kN threshold

    // The engine's locks in a runtime folder of this namespace's user, off the disk.
    const QString runtime = outside.path() + "/run";
    QDir().mkdir(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    QProcessEnvironment env;
    env.insert("XDG_RUNTIME_DIR", runtime);
    if (c.fullAtStart)
        fill(dir + "/filler");
    AppProcess app(dir, env);
    ASSERT_TRUE(waitFor([&] { return pollTimes(sim.logPath()).size() >= 10; }, 20000))
        << "program " << (app.process().state() == QProcess::Running ? "running" : "ended")
        << ": " << app.process().readAll().toStdString() << " log: "
        << readAll(dir + "/prjNUV.log").toStdString();
    if (!c.fullAtStart) {
        fill(dir + "/filler");
        // The engine's mapped lock files once killed the program within 25 s.
        QThread::msleep(25000);
        ASSERT_EQ(app.process().state(), QProcess::Running);
        QFile::remove(dir + "/filler");
        QThread::msleep(4000); // the held samples are written once a second
    } else {
        QThread::msleep(8000);
    }
    const QDateTime signalled = QDateTime::currentDateTime();
    app.signal(SIGTERM);
    ASSERT_TRUE(app.process().waitForFinished(10000));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);

    // The settings: the old file, or the old one with the window's state.
    const QByteArray after = readAll(dir + "/prjNUV.ini");
    if (c.fullAtStart)
        EXPECT_EQ(after, settings);
    else
        EXPECT_TRUE(after.contains("maxstart=5.2\r\n") && after.contains("NormPos=")) << after.toStdString();
    expectWholeLog(dir + "/prjNUV.log");
    EXPECT_TRUE(readAll(dir + "/prjNUV.log").startsWith("1.12.26 10:00:00 -> NEW LOG\r\n"));
    if (c.fullAtStart)
        return; // what a disk full to the end held in memory has nowhere to go

    // Every sample answered before the signal is a row of the one run, in order.
    const QList<QDateTime> samples = sampleTimes(dir + "/NUV.GDB");
    qsizetype answered = 0;
    for (const QDateTime& polled : pollTimes(sim.logPath()))
        answered += polled.msecsTo(signalled) > 60 ? 1 : 0;
    EXPECT_GE(samples.size(), answered);
    EXPECT_TRUE(std::is_sorted(samples.begin(), samples.end()));
    EXPECT_EQ(isql(dir + "/NUV.GDB", "set list on; select count(*) as runs from mes;").simplified(),
              "RUNS 1");
    EXPECT_EQ(isql(dir + "/NUV.GDB", "set list on; select count(*) as empty from mes m where not "
                                     "exists(select 1 from mes_de d where d.mes_id = m.mes_id);")
                  .simplified(),
              "EMPTY 0");
    ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
}

INSTANTIATE_TEST_SUITE_P(Disk, FullDisk,
                         ::testing::Values(Case{"FullAtStart", true}, Case{"FillsMidRunThenFreed", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
