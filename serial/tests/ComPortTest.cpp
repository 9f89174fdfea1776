#include "ComPortU.h"
#include "PseudoTerminal.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

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

TEST_F(ComPortTest, Rs485ReplyIsCappedAndTheRestOpensTheNextReply) {
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

    EXPECT_FALSE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QString::fromLatin1(sixty.mid(50)));
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
    EXPECT_FALSE(port->Transact("p.v\r\n", lmRS485, false));
    EXPECT_EQ(port->Reply, QStringLiteral("ef\r\n"));
}

TEST_F(ComPortTest, VanishedPeerFailsWithoutSpinning) {
    // Closing the controller side is what a pulled USB adapter looks like.
    auto gone = std::make_unique<PseudoTerminal>();
    gone->linkAs(m_dir.path() + "/ports", 8);
    TComPort port(8, 4800, 200, 1, 1, 250, 50, 20, ComPortMap(m_dir.path() + "/ports"));
    gone.reset();
    const auto t0 = Clock::now();
    EXPECT_TRUE(port.Transact("p.v\r\n", lmRS485, false));
    EXPECT_TRUE(port.Reply == "not answer" || port.Reply == "Eror Count")
        << port.Reply.toStdString();
    EXPECT_GE(Clock::now() - t0, 65ms); // the failed exchange still took its pauses
}

} // namespace
