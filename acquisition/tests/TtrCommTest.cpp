#include "acquisition/trCOMMU.h"
#include "core/TDataFolder.h"
#include "serial/PseudoTerminal.h"
#include "testsupport/QtWait.h"
#include "testsupport/SimProcess.h"
#include "testsupport/Unprivileged.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// Stands in for the main window: counts the handler calls.
class FakeHost : public QObject, public TtrCommHost {
public:
    QObject* uiContext() override { return this; }
    void SetCaption(const QString& c) override { captions.append(c); }
    void SetPressReadout(const QString& t) override { pressReadout = t; }
    void ProcessPressSample(TAcqState& t) override {
        ++pressCalls;
        pressReplies.append(t.Reply1);
    }
    void ProcessCbrSample(TAcqState& t) override {
        ++cbrCalls;
        cbrReplies.append({t.Reply1, t.Reply2});
    }
    void AcquisitionStatus(const TAcqStatus& s) override { statuses.append(s); }
    bool saw(TAcqStatus::Kind kind) const {
        return std::any_of(statuses.begin(), statuses.end(),
                           [&](const TAcqStatus& s) { return s.kind == kind; });
    }
    QList<TAcqStatus> statuses;

    QStringList captions;
    QString pressReadout = "0.0";
    int pressCalls = 0;
    int cbrCalls = 0;
    QStringList pressReplies;
    QList<QPair<QString, QString>> cbrReplies;
};

void stop(TtrComm& thread) {
    thread.requestInterruption();
    ASSERT_TRUE(serveUntil([&] { return thread.isFinished(); }));
}

class TtrCommTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    ComPortMap map() const { return ComPortMap(m_dir.path() + "/ports"); }

    // The sim logs a command as it arrives; give the last ones a moment.
    QString sequence(SimProcess& sim, const QString& endsWith) {
        QString joined;
        serveUntil(
            [&] {
                joined = sim.commands().join(' ');
                return joined.endsWith(endsWith);
            },
            2000);
        return joined;
    }

    QTemporaryDir m_dir;
    FakeHost m_host;
    std::atomic<int> m_page{static_cast<int>(TPage::Press)};
};

TEST_F(TtrCommTest, CommandSequenceFollowsThePages) {
    SimProcess sim(m_dir.path(), 4, {"--scenario", "idle"});
    TtrComm thread(m_host, "4", m_page, map());
    thread.start();

    ASSERT_TRUE(serveUntil([&] { return m_host.pressCalls >= 3; }));
    EXPECT_EQ(m_host.pressReadout, "0");
    m_page = static_cast<int>(TPage::Cbr);
    ASSERT_TRUE(serveUntil([&] { return m_host.cbrCalls >= 2; }));
    m_page = static_cast<int>(TPage::Press);
    const int pressBefore = m_host.pressCalls;
    ASSERT_TRUE(serveUntil([&] { return m_host.pressCalls >= pressBefore + 2; }));
    m_page = static_cast<int>(TPage::Settings);
    // On the settings page nothing goes on the line.
    const int seen = [&] {
        serveFor(600);
        return int(sim.commands().size());
    }();
    serveFor(600);
    EXPECT_EQ(sim.commands().size(), seen);
    stop(thread);

    const QString seq = sequence(sim, "U0 U0");
    const QRegularExpression shape(
        "^U0 U255 (p\\.v )+U0 U2 (U2 p\\.v U3 p\\.v )+U0 U255 (p\\.v )+U0 U0$");
    EXPECT_TRUE(shape.match(seq).hasMatch()) << seq.toStdString();
    // Every poll was handed to a handler, and nothing else was.
    EXPECT_EQ(seq.count("p.v") - 2 * m_host.cbrCalls, m_host.pressCalls);
    EXPECT_EQ(seq.count("U3"), m_host.cbrCalls);

    // The caption shows the load reply without its line end: no boxes.
    ASSERT_FALSE(m_host.captions.isEmpty());
    EXPECT_TRUE(QRegularExpression("^noravel PL.{5}$").match(m_host.captions.first()).hasMatch())
        << m_host.captions.first().toStdString();
    ASSERT_FALSE(m_host.cbrReplies.isEmpty());
    EXPECT_TRUE(m_host.cbrReplies.first().first.startsWith("ML"));
    EXPECT_EQ(m_host.cbrReplies.first().second, "MD25.00\r\n");
}

TEST_F(TtrCommTest, TerminationCompletesTheCycleAndDeselectsTwice) {
    SimProcess sim(m_dir.path(), 5, {"--scenario", "idle"});
    TtrComm thread(m_host, "5", m_page, map());
    thread.start();
    ASSERT_TRUE(serveUntil([&] { return m_host.pressCalls >= 2; }));
    stop(thread);
    const QString seq = sequence(sim, "U0 U0");
    EXPECT_TRUE(QRegularExpression("^U0 U255 (p\\.v )+U0 U0$").match(seq).hasMatch())
        << seq.toStdString();
    EXPECT_EQ(seq.count("p.v"), m_host.pressCalls);
}

TEST_F(TtrCommTest, NoPortMeansTheThreadEndsAtOnce) {
    for (const QString caption : {"abc", "0", "77", ""}) {
        FakeHost host;
        TtrComm thread(host, caption, m_page, map());
        thread.start();
        ASSERT_TRUE(serveUntil([&] { return thread.isFinished(); }, 3000)) << caption.toStdString();
        EXPECT_EQ(host.pressCalls, 0);
        EXPECT_TRUE(host.captions.isEmpty());
        // The window is told, in words the operator reads.
        ASSERT_TRUE(serveUntil([&] { return !host.statuses.isEmpty(); }, 2000));
        EXPECT_EQ(host.statuses.last().kind, TAcqStatus::Kind::NoPort);
        if (caption == "77")
            EXPECT_EQ(host.statuses.last().text(),
                      QStringLiteral("Няма връзка с пресата на COM77"));
    }
}

// A device this user may not open: the operator is told what to do about it.
TEST_F(TtrCommTest, RefusedDeviceTellsWhichGroupToJoin) {
    NUV_AS_UNPRIVILEGED_USER();
    const QString device = m_dir.path() + "/refused";
    QFile(device).open(QIODevice::WriteOnly);
    QFile::setPermissions(device, {});
    QDir().mkpath(m_dir.path() + "/ports");
    QFile::link(device, m_dir.path() + "/ports/COM8");
    TtrComm thread(m_host, "8", m_page, map());
    thread.start();
    ASSERT_TRUE(serveUntil([&] { return thread.isFinished() && !m_host.statuses.isEmpty(); }));
    const TAcqStatus status = m_host.statuses.last();
    EXPECT_EQ(status.kind, TAcqStatus::Kind::NoPermission);
    EXPECT_TRUE(status.problem());
    EXPECT_EQ(status.text(),
              QStringLiteral("Няма право на достъп до COM8 (%1). Добавете потребителя в групата "
                             "dialout: sudo adduser %2 dialout, след това излезте от системата "
                             "и влезте отново.")
                  .arg(QFileInfo(device).canonicalFilePath(), TDataFolder::userName()));
}

TEST_F(TtrCommTest, SilentLineGivesNotAnswerInTheCaption) {
    // A pseudo-terminal nobody answers on.
    PseudoTerminal pty;
    pty.linkAs(m_dir.path() + "/ports", 6);
    TtrComm thread(m_host, "6", m_page, map());
    thread.start();
    ASSERT_TRUE(serveUntil([&] { return m_host.pressCalls >= 2; }));
    // After a few seconds of silence the window hears of it, second by second.
    ASSERT_TRUE(serveUntil([&] { return m_host.saw(TAcqStatus::Kind::NoReply); }, 8000));
    const TAcqStatus silent = m_host.statuses.last();
    EXPECT_GE(silent.silentSeconds, TtrComm::kSilentSeconds);
    EXPECT_EQ(silent.text(),
              QStringLiteral("Няма отговор от уреда от %1 s").arg(silent.silentSeconds));
    // An answer clears it (sent again until one falls inside a read).
    const auto answering = [&] { return m_host.statuses.last().kind == TAcqStatus::Kind::Polling; };
    for (int i = 0; i < 30 && !answering(); ++i) {
        pty.write("PL001.0\r\n");
        serveFor(100);
    }
    EXPECT_TRUE(answering());

    stop(thread);
    EXPECT_TRUE(m_host.captions.contains("noravel not answer"));
}

// An adapter pulled out and plugged back: the thread says the port is lost,
// ends the open runs, reopens the same COM name by itself once the device is
// back and polls again, without a restart.
TEST_F(TtrCommTest, LostPortIsReopenedWhenTheDeviceReturns) {
    class RunningHost : public FakeHost {
    public:
        void ProcessPressSample(TAcqState& t) override {
            FakeHost::ProcessPressSample(t);
            t.PressRunId = 42; // a run is open
            t.CbrRunId = 43;
        }
    } host;
    auto sim = std::make_unique<SimProcess>(m_dir.path(), 9, QStringList{"--scenario", "idle"});
    TtrComm thread(host, "9", m_page, map());
    thread.start();
    ASSERT_TRUE(serveUntil([&] { return host.pressCalls >= 2; }));

    sim.reset(); // the device goes away
    ASSERT_TRUE(serveUntil([&] { return host.saw(TAcqStatus::Kind::PortLost); }, 5000));
    EXPECT_EQ(host.statuses.last().text(), QStringLiteral("Връзката с COM9 е загубена"));
    EXPECT_FALSE(thread.isFinished());
    EXPECT_EQ(thread.PressRunId, -1);
    EXPECT_EQ(thread.CbrRunId, -1);
    // Nothing of a dead device is handed on as a sample.
    for (const QString& r : host.pressReplies)
        EXPECT_TRUE(r.startsWith("PL")) << r.toStdString();
    const int callsWhileAway = host.pressCalls;
    serveFor(1500);
    EXPECT_EQ(host.pressCalls, callsWhileAway);

    sim = std::make_unique<SimProcess>(m_dir.path(), 9, QStringList{"--scenario", "idle"});
    ASSERT_TRUE(serveUntil([&] { return host.pressCalls >= callsWhileAway + 2; }, 8000));
    EXPECT_EQ(host.statuses.last().kind, TAcqStatus::Kind::Polling);
    EXPECT_EQ(host.statuses.last().text(), QStringLiteral("Връзка с пресата на COM9"));
    // The new device is addressed afresh before it is polled.
    const QString seq = sim->commands().join(' ');
    EXPECT_TRUE(seq.startsWith("U0 U255 p.v")) << seq.toStdString();
    stop(thread);
}

TEST(TtrCommCaption, ControlCharactersAreLeftOutOrEscaped) {
    EXPECT_EQ(TtrComm::visibleReply("PL044.9\r\n"), "PL044.9");
    EXPECT_EQ(TtrComm::visibleReply(QString::fromLatin1("P\x01L\x7f\0", 5)), "P\\x01L\\x7f\\x00");
    EXPECT_EQ(TtrComm::visibleReply("not answer"), "not answer");
    EXPECT_EQ(TtrComm::visibleReply(QStringLiteral("Ок\t")), QStringLiteral("Ок\\x09"));
}

TEST_F(TtrCommTest, HandlerFailureEndsTheThread) {
    class Throwing : public FakeHost {
    public:
        void ProcessPressSample(TAcqState&) override { throw std::runtime_error("boom"); }
    } host;
    SimProcess sim(m_dir.path(), 7, {"--scenario", "idle"});
    TtrComm thread(host, "7", m_page, map());
    thread.start();
    EXPECT_TRUE(serveUntil([&] { return thread.isFinished(); }, 5000));
    // The operator is told that acquisition stopped.
    ASSERT_TRUE(serveUntil([&] { return host.saw(TAcqStatus::Kind::Stopped); }, 2000));
    EXPECT_EQ(host.statuses.last().text(), QStringLiteral("Събирането на данни от COM7 е спряно"));
}

} // namespace
