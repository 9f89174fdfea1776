#pragma once

// A test that needs a user without special rights (one that is refused a
// file, a device or a folder by their modes) runs as such a user: as root,
// the test runs again in a child process as nobody (setpriv) and its result
// is this test's; as any other user it simply runs.
//
//   TEST(Serial, RefusedDevice) {
//       NUV_AS_UNPRIVILEGED_USER();
//       ...  // runs as a user whom modes can refuse
//   }
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

namespace unprivileged {

enum class Where { Here, RanInChild, Skip };

inline Where run(std::string& why) {
    if (::geteuid() != 0)
        return Where::Here;
    if (qEnvironmentVariableIsSet("NUV_UNPRIVILEGED_CHILD")) {
        why = "the child is still root";
        return Where::Skip;
    }
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        why = "running as root without setpriv: no user that modes can refuse";
        return Where::Skip;
    }
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NUV_UNPRIVILEGED_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv,
                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                 QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QLatin1String(info->test_suite_name()), QLatin1String(info->name()))});
    const bool ended = child.waitForFinished(120000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_TRUE(ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << "as nobody:\n"
        << output.toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("[  SKIPPED ]"))) << output.toStdString();
    return Where::RanInChild;
}

} // namespace unprivileged

#define NUV_AS_UNPRIVILEGED_USER()                                                                 \
    do {                                                                                           \
        std::string nuvWhy;                                                                        \
        const auto nuvWhere = unprivileged::run(nuvWhy);                                           \
        if (nuvWhere == unprivileged::Where::Skip)                                                 \
            GTEST_SKIP() << nuvWhy;                                                                \
        if (nuvWhere == unprivileged::Where::RanInChild)                                           \
            return;                                                                                \
    } while (false)
