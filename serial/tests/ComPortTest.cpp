#include "serial/ComPortU.h"
#include "serial/PseudoTerminal.h"
#include "testsupport/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <random>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A controller at the far end of a pseudo-terminal linked as ports/COM5.
class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_pty.linkAs(m_dir.path() + "/ports", 5);
    }

    std::unique_ptr<TComPort> open(int interval = 200, int total = 250) {
        return std::make_unique<TComPort>(5, 4800, interval, 1, 1, total, 0, 0,
                                          ComPortMap(m_dir.path() + "/ports"));
    }

    // Reads until `expected` bytes came from the program, or a second passed.
    QByteArray receive(qsizetype expected) {
        QByteArray got;
        const auto until = Clock::now() + 1s;
        while (got.size() < expected && Clock::now() < until)
            got += m_pty.read(50);
        return got;
    }

    QTemporaryDir m_dir;
    PseudoTerminal m_pty;
};

TEST_F(ComPortTest, MissingDeviceIsNotAccessible) {
    try {
        TComPort port(7, 4800, 200, 1, 1, 250, 0, 0, ComPortMap(m_dir.path() + "/ports"));
        FAIL() << "opened a port that does not exist";
    } catch (const EOpenComm& e) {
        EXPECT_EQ(e.message(), QStringLiteral("COM7 Is not Accessible"));
    }
    EXPECT_THROW(TComPort(-1, 4800, 200, 1, 1, 250, 0, 0, ComPortMap(m_dir.path())), EOpenComm);
}

// A device this user may not open names the group that may: the device's
// own when that group may write to it, dialout otherwise.
TEST(ComPortPermission, RefusedDeviceNamesTheGroupToJoin) {
    NUV_AS_UNPRIVILEGED_USER();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ownGroup = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    const struct {
        const char* name;
        mode_t mode;
        std::optional<QString> group;
    } cases[] = {{"nobody", 0000, "dialout"}, {"group", 0060, ownGroup}, {"mine", 0600, {}}};
    for (const auto& c : cases) {
        const QString device = dir.path() + "/" + c.name;
        QFile(device).open(QIODevice::WriteOnly);
        ASSERT_EQ(::chmod(QFile::encodeName(device).constData(), c.mode), 0);
        EXPECT_EQ(TComPort::groupToJoin(device), c.group) << c.name;
    }
    EXPECT_EQ(TComPort::groupToJoin(dir.path() + "/missing"), std::nullopt);

    QDir().mkpath(dir.path() + "/ports");
    QFile::link(dir.path() + "/nobody", dir.path() + "/ports/COM7");
    try {
        TComPort(7, 4800, 200, 1, 1, 250, 0, 0, ComPortMap(dir.path() + "/ports"));
        ADD_FAILURE() << "the refused device opened";
    } catch (const ENoPermission& e) {
        EXPECT_EQ(e.message(), "COM7 Is not Accessible");
        EXPECT_EQ(e.device(), QFileInfo(dir.path() + "/nobody").canonicalFilePath());
        EXPECT_EQ(e.group(), "dialout");
    }
}

TEST_F(ComPortTest, RefusedLineSettingsGiveInitErrorWithSystemText) {
    QFile plain(m_dir.path() + "/ports/COM6");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    try {
        TComPort port(6, 4800, 200, 1, 1, 250, 0, 0, ComPortMap(m_dir.path() + "/ports"));
        FAIL() << "a plain file passed as a serial port";
    } catch (const EInitComm& e) {
        EXPECT_TRUE(
            e.message().startsWith("COM6 Can't Initialise.\r\nSystem Error.  Code: 25.\r\n"))
            << e.what();
    }
}

TEST_F(ComPortTest, PortIsExclusiveWhileOpenAndFreeAfterwards) {
    auto first = open();
    EXPECT_THROW(open(), EOpenComm);
    first.reset();
    // The simulator side still holds the device; a new channel must get it.
    EXPECT_NO_THROW(open());
}

TEST_F(ComPortTest, SilenceGivesNotAnswerAfterTheTotalTimeout) {
    auto port = open();
    const auto t0 = Clock::now();
    EXPECT_TRUE(port->Transact("p.v\r\n", lmRS485, false));
    const auto elapsed = Clock::now() - t0;
    EXPECT_EQ(port->Reply, QStringLiteral("not answer"));
    EXPECT_GE(elapsed, 245ms); // the read waited out its total time-out
    EXPECT_EQ(receive(5), QByteArray("p.v\r\n"));
}

// The rest of an overlong reply is stale by the next command: it is
// discarded before that command is sent, not taken for its answer.
TEST_F(ComPortTest, Rs485ReplyIsCappedAndTheRestIsDiscardedBeforeTheNextCommand) {
    auto port = open();
    const QByteArray sixty = QByteArray(48, 'a') + "\r\n" + QByteArray(8, 'b') + "\r\n";
    ASSERT_EQ(sixty.size(), 60);
    auto peer = std::async(std::launch::async, [&] {
        const QByteArray cmd = receive(6);
        m_pty.write(sixty);
        return cmd;
    });
    EXPECT_FALSE(port->Transact("U255\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QString::fromLatin1(sixty.left(50)));
    EXPECT_EQ(peer.get(), QByteArray("U255\r\n"));

    EXPECT_TRUE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QStringLiteral("not answer"));
}

// A burst of noise on the line costs at most one cycle: the bytes waiting
// when a command goes out are dropped, so the controller's answer is read.
TEST_F(ComPortTest, NoiseBurstCostsAtMostOneCycle) {
    auto port = open();
    std::atomic<bool> done{false};
    // The controller answers every command it recognises.
    auto controller = std::async(std::launch::async, [&] {
        QByteArray pending;
        while (!done) {
            pending += m_pty.read(20);
            qsizetype nl;
            while ((nl = pending.indexOf('\n')) >= 0) {
                pending.remove(0, nl + 1);
                m_pty.write("PL044.9\r\n");
            }
        }
    });
    QByteArray noise(10 * 1024, '\0');
    std::mt19937 rng(7);
    for (char& c : noise)
        c = char(rng());
    m_pty.write(noise);
    int stale = 0;
    for (int cycle = 0; cycle < 5; ++cycle) {
        port->Transact("p.v\r\n", lmRS485, false);
        if (port->Reply != QStringLiteral("PL044.9\r\n"))
            ++stale;
    }
    done = true;
    controller.get();
    EXPECT_LE(stale, 1);
}

// The line is 4800 baud, 8 data bits, even parity checked, 1 stop bit. The
// driver of a pseudo-terminal keeps speed, size and stop bits (read back
// with tcgetattr) but drops parity, so parity is checked in what the channel
// asked for.
TEST_F(ComPortTest, LineSettingsAre4800EightEvenOne) {
    auto port = open();
    const int fd = ::open(m_pty.slaveName().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios set{};
    ASSERT_EQ(::tcgetattr(fd, &set), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&set), speed_t(B4800));
    EXPECT_EQ(::cfgetispeed(&set), speed_t(B4800));
    EXPECT_EQ(set.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(set.c_cflag & CSTOPB, 0u);

    const termios& asked = port->RequestedSettings();
    EXPECT_EQ(::cfgetospeed(&asked), speed_t(B4800));
    EXPECT_EQ(asked.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_NE(asked.c_cflag & PARENB, 0u) << "parity off";
    EXPECT_EQ(asked.c_cflag & PARODD, 0u) << "odd parity";
    EXPECT_NE(asked.c_iflag & INPCK, 0u) << "parity not checked";
    EXPECT_EQ(asked.c_cflag & CSTOPB, 0u) << "two stop bits";
    EXPECT_EQ(asked.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(asked.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(ComPortTest, Rs232PurgesWhatIsLeftAndEmptyCommandOnlyReads) {
    auto port = open();
    const QByteArray sixty(60, 'x');
    auto peer = std::async(std::launch::async, [&] {
        receive(5);
        m_pty.write(sixty);
    });
    EXPECT_FALSE(port->Transact("p.v\r\n", lmRS232, false));
    peer.get();
    EXPECT_EQ(port->Reply.size(), 50);

    // The ten bytes that were left were discarded, and nothing is written.
    EXPECT_TRUE(port->Transact(QByteArray(), lmRS232, false));
    EXPECT_EQ(port->Reply, QStringLiteral("not answer"));
    EXPECT_TRUE(m_pty.read(100).isEmpty());

    m_pty.write("ok 12.34\r\n");
    EXPECT_FALSE(port->Transact(QByteArray(), lmRS232, false));
    EXPECT_EQ(port->Reply, QStringLiteral("ok 12.34\r\n"));
    EXPECT_TRUE(m_pty.read(100).isEmpty());
}

TEST_F(ComPortTest, IntervalTimeoutEndsTheReadBetweenBytes) {
    auto port = open(/*interval*/ 60, /*total*/ 2000);
    auto peer = std::async(std::launch::async, [&] {
        receive(5);
        m_pty.write("ab");
        std::this_thread::sleep_for(20ms);
        m_pty.write("cd");
        std::this_thread::sleep_for(300ms);
        m_pty.write("ef\r\n");
    });
    EXPECT_FALSE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QStringLiteral("abcd"));
    peer.get();
    // What came after the read ended is stale by the next command.
    EXPECT_TRUE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QStringLiteral("not answer"));
}

TEST_F(ComPortTest, VanishedPeerFailsWithoutSpinning) {
    // Closing the controller side is what a pulled USB adapter looks like.
    auto gone = std::make_unique<PseudoTerminal>();
    gone->linkAs(m_dir.path() + "/ports", 8);
    TComPort port(8, 4800, 200, 1, 1, 250, 50, 20, ComPortMap(m_dir.path() + "/ports"));
    EXPECT_FALSE(port.Lost());
    gone.reset();
    const auto t0 = Clock::now();
    EXPECT_TRUE(port.Transact("p.v\r\n", lmRS485, false));
    EXPECT_TRUE(port.Reply == "not answer" || port.Reply == "Eror Count")
        << port.Reply.toStdString();
    EXPECT_GE(Clock::now() - t0, 65ms); // the failed exchange still took its pauses
    EXPECT_TRUE(port.Lost());
}

// A silent controller is not a lost device; a device node that disappears is.
TEST_F(ComPortTest, SilenceIsNotLossButAVanishedNodeIs) {
    auto port = open(200, 60);
    EXPECT_TRUE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_FALSE(port->Lost());
    QFile::remove(m_dir.path() + "/ports/COM5");
    EXPECT_TRUE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_TRUE(port->Lost());
}

} // namespace
