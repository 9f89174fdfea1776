#include "acquisition/TCbrChannel.h"
#include "acquisition/TPressChannel.h"
#include "core/Exception.h"
#include "core/TimeStamp.h"
#include "testsupport/GTestQt.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

struct FakeView : TLiveView {
    QMap<TReadout, QString> text{{TReadout::Label11, "0"},
                                 {TReadout::Label12, "0.0"},
                                 {TReadout::Label18, "0.0"},
                                 {TReadout::Label15, "0.0"},
                                 {TReadout::Label16, "0.0"}};
    double offset = 0;
    QList<std::pair<double, double>> press, cbr;
    QString readoutText(TReadout r) const override { return text[r]; }
    void setReadoutText(TReadout r, const QString& t) override { text[r] = t; }
    double zeroOffset() const override { return offset; }
    void AddPressPoints(double v, double s) override { press.append({v, s}); }
    void AddCbrPoints(double v, double d) override { cbr.append({v, d}); }
};

struct Sample {
    int run, dev;
    double value, speed;
};

struct FakeRecorder : TRecorder {
    int nextId = 57;
    bool failStart = false;
    QList<int> runs;
    QList<Sample> samples;
    int StartRun(int dev) override {
        if (failStart)
            throw Exception("no connection");
        runs.append(dev);
        return nextId++;
    }
    void AddSample(int run, int dev, double v, double s) override {
        samples.append({run, dev, v, s});
    }
};

struct FakeLog : TEventLog {
    QStringList lines;
    bool fail = false;
    void WriteLog(const QString& m, const QString& tag) override {
        if (fail)
            throw Exception("Unable to write to prjNUV.log");
        lines.append(tag + ": " + m);
    }
};

struct FakeClock : TClock {
    QDateTime t{QDate(2026, 12, 9), QTime(10, 0, 0)};
    QDateTime now() const override { return t; }
    void advance(int ms) { t = t.addMSecs(ms); }
};

QString reply(const char* five) {
    return QString("PL") + five + "\r\n";
}

class PressTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_state.PressRunId = -1;
        m_state.CbrRunId = -1;
    }
    void settings(const QByteArray& dev) {
        QFile f(m_dir.path() + "/prjNUV.ini");
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(dev);
    }
    // One poll 300 ms after the previous one.
    void sample(const QString& r) {
        m_clock.advance(300);
        m_state.Reply1 = r;
        m_press.ProcessPressSample(m_state);
    }
    double kn(double raw) const { return 52.2 / 26.2 * raw; }

    QTemporaryDir m_dir;
    FakeView m_view;
    FakeRecorder m_rec;
    FakeLog m_log;
    FakeClock m_clock;
    TAcqState m_state;
    TPressChannel m_press{
        m_view, m_rec, m_log, m_clock, m_dir.path() + "/prjNUV.ini", TFormats(QLocale::c())};
};

TEST_F(PressTest, ReplyFormAndScale) {
    sample("not answer");
    sample("Eror Count");
    sample("1.000\r\n"); // carriage return at position 6
    EXPECT_TRUE(m_view.press.isEmpty());
    sample("xP1.000\r\n"); // at position 8: characters 3 to 7
    ASSERT_EQ(m_view.press.size(), 1);
    EXPECT_DOUBLE_EQ(m_view.press[0].first, kn(1.0)); // no [dev] section: the defaults
    EXPECT_EQ(m_view.text[TReadout::Label11], "1.99");
    sample("+1.000\r\n"); // at position 7: characters 2 to 6
    ASSERT_EQ(m_view.press.size(), 2);
    EXPECT_TRUE(m_log.lines.isEmpty());
    sample(reply("ab.cd"));
    EXPECT_EQ(m_log.lines, QStringList{"commErr: 'ab.cd' is not a valid floating point value"});

    m_view.offset = -1.0;
    settings("[dev]\r\nupp=60\r\ndownn=30\r\n");
    sample(reply("1.000")); // a changed setting counts from the next sample
    EXPECT_DOUBLE_EQ(m_view.press.last().first, 1.0);
}

TEST_F(PressTest, RunOpensAtTheThresholdAndRecordsFromItsFirstSample) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=5.2\r\n");
    sample(reply("5.100"));
    EXPECT_TRUE(m_rec.runs.isEmpty());
    sample(reply("5.200")); // equal to "maxstart"
    ASSERT_EQ(m_rec.runs, QList<int>{1});
    EXPECT_EQ(m_state.PressRunId, 57);
    sample(reply("9.000"));
    sample(reply("7.000")); // the peak stays
    EXPECT_EQ(m_view.text[TReadout::Label11], "9.00");
    sample(reply("1.000")); // ends the run, not recorded
    EXPECT_EQ(m_state.PressRunId, -1);
    EXPECT_EQ(m_view.text[TReadout::Label11], "1.00");
    ASSERT_EQ(m_rec.samples.size(), 3);
    EXPECT_EQ(m_rec.samples[0].value, 5.2);
    EXPECT_EQ(m_rec.samples[0].run, 57);
    EXPECT_EQ(m_rec.samples[0].dev, 1);
    EXPECT_NEAR(m_rec.samples[1].speed, (9.0 - 5.2) / 0.3, 1e-9);
    EXPECT_EQ(m_rec.samples[2].value, 7.0);
    // The run's opening sample gave no speed over 0 ms, and wrote no log line.
    EXPECT_TRUE(m_log.lines.isEmpty());

    // Average speed: over the last run, also after it ended.
    sample(reply("1.000"));
    EXPECT_EQ(m_view.text[TReadout::Label18], "-3.50"); // (1.0 - 5.2) / 1.2 s
}

TEST_F(PressTest, SpeedsHistoryAndZeroSpans) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=100\r\n");
    // The first sample after a thread start: its history span is 0 ms, so the
    // current speed keeps its text, and nothing goes to the log.
    sample(reply("1.000"));
    EXPECT_EQ(m_view.text[TReadout::Label12], "0.0");
    EXPECT_EQ(m_view.text[TReadout::Label18], "0.00"); // before any run: since the time origin
    EXPECT_EQ(m_state.PrevValue, 1.0);
    EXPECT_TRUE(m_log.lines.isEmpty());
    EXPECT_NEAR(m_view.press[0].second, 0.0, 1e-6);
    for (int i = 2; i <= 12; ++i)
        sample(reply(QString::number(i, 'f', i < 10 ? 3 : 2).toLatin1().constData()));
    EXPECT_EQ(m_state.ValueHistory.size(), 10);
    EXPECT_EQ(m_state.TimeHistory.size(), 10);
    EXPECT_EQ(m_state.ValueHistory.first(), "3.00");
    EXPECT_EQ(m_view.text[TReadout::Label12], "3.33"); // (12 - 3) / 2.7 s
    EXPECT_NEAR(m_view.press.last().second, 1.0 / 0.3, 1e-9);
}

TEST_F(PressTest, FailuresAreLoggedAndNeverStopAcquisition) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=2\r\n");
    m_rec.failStart = true;
    sample(reply("3.000"));
    EXPECT_EQ(m_state.PressRunId, -1);
    EXPECT_EQ(m_log.lines, QStringList{"commErr: no connection"});
    m_rec.failStart = false;
    sample(reply("3.000")); // the next sample tries again
    EXPECT_EQ(m_state.PressRunId, 57);

    m_view.text[TReadout::Label11] = "abc";
    m_log.fail = true;
    EXPECT_NO_THROW(sample(reply("3.000")));
}

// A denominator that cannot work stops the recording with one log line that
// names the key and the file, however many samples come, until it is mended.
TEST_F(PressTest, BadDenominatorRecordsNothingAndLogsOnce) {
    for (const QByteArray bad : {"0", "-0", "", "inf", "-INF", "nan", "abc", "1e999", "0,0"}) {
        m_log.lines.clear();
        m_rec.samples.clear();
        m_state.PressRunId = -1;
        settings("[dev]\r\nupp=1\r\nmaxstart=1\r\ndownn=" + bad + "\r\n");
        for (int i = 0; i < 20; ++i)
            sample(reply("9.000"));
        EXPECT_TRUE(m_rec.samples.isEmpty()) << bad.constData();
        ASSERT_EQ(m_log.lines.size(), 1) << bad.constData() << m_log.lines.join('|').toStdString();
        EXPECT_TRUE(m_log.lines[0].contains("\"downn\"")) << m_log.lines[0].toStdString();
        EXPECT_TRUE(m_log.lines[0].contains(m_dir.path() + "/prjNUV.ini"));
    }
    m_log.lines.clear();
    settings("[dev]\r\nupp=1\r\nmaxstart=1\r\ndownn=2\r\n");
    sample(reply("9.000"));
    ASSERT_EQ(m_rec.samples.size(), 1);
    EXPECT_EQ(m_rec.samples[0].value, 4.5);
    EXPECT_TRUE(m_log.lines.isEmpty());
}

// The constants are read again only when the file changes, not per sample.
TEST_F(PressTest, SettingsFileIsReadAgainOnlyWhenItChanges) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=100\r\n");
    for (int i = 0; i < 50; ++i)
        sample(reply("2.000"));
    EXPECT_EQ(m_press.settings().reads(), 1);
    EXPECT_EQ(m_view.press.last().first, 2.0);
    settings("[dev]\r\nupp=3\r\ndownn=1\r\nmaxstart=100\r\n");
    sample(reply("2.000"));
    EXPECT_EQ(m_press.settings().reads(), 2);
    EXPECT_EQ(m_view.press.last().first, 6.0);
    // A rewrite of the same size within the same clock tick is still seen.
    settings("[dev]\r\nupp=4\r\ndownn=1\r\nmaxstart=100\r\n");
    sample(reply("2.000"));
    EXPECT_EQ(m_view.press.last().first, 8.0);
    QFile::remove(m_dir.path() + "/prjNUV.ini");
    sample(reply("2.000")); // no file: the defaults
    EXPECT_DOUBLE_EQ(m_view.press.last().first, kn(2.0));
}

// Readings that are no finite number within the controller's five-character
// field never reach the readouts or the recorder; each says why in the log.
TEST_F(PressTest, ImpossibleReadingsAreNeverRecorded) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=1\r\n");
    sample(reply("5.000"));
    ASSERT_EQ(m_rec.samples.size(), 1);
    for (const char* bad :
         {"  inf", "  nan", "1e999", "1e+10", "-1e06", "0x1p3", "1,5.2", "\x01\x02\x03\x04\x05"})
        sample(reply(bad));
    EXPECT_EQ(m_rec.samples.size(), 1);
    EXPECT_EQ(m_view.press.size(), 1);
    ASSERT_EQ(m_log.lines.size(), 8) << m_log.lines.join('|').toStdString();
    EXPECT_EQ(m_log.lines[0], "commErr: '  inf' is not a valid floating point value");
    EXPECT_EQ(m_log.lines[2], "commErr: '1e999' is not a finite number");
    EXPECT_EQ(m_log.lines[3], "commErr: '1e+10' is beyond the controller's five-character range");
    EXPECT_EQ(m_log.lines[7],
              "commErr: '\\x01\\x02\\x03\\x04\\x05' is not a valid floating point value");
    sample(reply("99999"));
    EXPECT_EQ(m_rec.samples.size(), 2);
}

// Two samples within the same millisecond give no speed: the sample is
// recorded with 0, and the log says so once for the run, not per sample.
TEST_F(PressTest, SpeedOverZeroMillisecondsIsZeroAndLoggedOncePerRun) {
    settings("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=2\r\n");
    sample(reply("5.000"));
    for (int i = 0; i < 5; ++i) {
        m_state.Reply1 = reply("6.000");
        m_press.ProcessPressSample(m_state); // the clock stands still
    }
    ASSERT_EQ(m_rec.samples.size(), 6);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(m_rec.samples[i].speed, 0.0);
    EXPECT_EQ(m_log.lines.size(), 1) << m_log.lines.join('|').toStdString();
    sample(reply("1.000")); // the run ends
    sample(reply("5.000")); // a new run
    m_state.Reply1 = reply("6.000");
    m_press.ProcessPressSample(m_state);
    EXPECT_EQ(m_log.lines.size(), 2);
}

TEST(PressLocale, ControllerPointUnderACommaLocale) {
    QTemporaryDir dir;
    FakeView view;
    FakeRecorder rec;
    FakeLog log;
    FakeClock clock;
    TAcqState s;
    s.PressRunId = -1;
    QFile f(dir.path() + "/prjNUV.ini");
    f.open(QIODevice::WriteOnly);
    f.write("[dev]\r\nupp=60,5\r\ndownn=1\r\n");
    f.close();
    TPressChannel press(view, rec, log, clock, f.fileName(),
                        TFormats(QLocale(QLocale::Bulgarian, QLocale::Bulgaria)));
    s.Reply1 = "PL1.000\r\n";
    press.ProcessPressSample(s);
    EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join('|').toStdString();
    EXPECT_EQ(view.text[TReadout::Label11], "60,50");
    clock.advance(300);
    press.ProcessPressSample(s); // reads its own "60,50" back
    EXPECT_TRUE(log.lines.isEmpty());
}

// A recorder that keeps the moment of every write; a write made without one
// is stamped when it is made, as the database module does.
struct MomentRecorder : TRecorder {
    explicit MomentRecorder(const TClock& c) : clock(c) {}
    const TClock& clock;
    QList<QDateTime> starts;
    QList<std::pair<Sample, QDateTime>> samples;
    int StartRun(int dev) override { return StartRunAt(dev, clock.now()); }
    void AddSample(int run, int dev, double v, double s) override {
        AddSampleAt(run, dev, v, s, clock.now());
    }
    int StartRunAt(int, const QDateTime& at) override {
        starts.append(at);
        return 56 + int(starts.size());
    }
    void AddSampleAt(int run, int dev, double v, double s, const QDateTime& at) override {
        samples.append({{run, dev, v, s}, at});
    }
};

// The computer's clock in its time zone: time synchronisation or an operator
// sets it (the moment steps), and at the change to or from summer time its
// clock face moves by an hour while the moment goes on.
struct ComputerClock : TFixedClock {
    ComputerClock(const QDateTime& at, const QTimeZone& zone) : TFixedClock(at), zone(zone) {}
    QTimeZone zone;
    QDateTime now() const override { return TFixedClock::now().toTimeZone(zone); }
};

// The clock steps an hour back or forward while a run is open, as one opens
// or between two runs. A run's samples keep the clock face it opened at,
// 300 ms apart as they were taken, so the time to the maximum read from them
// is the real one; the next run opens at the clock's new time. Speeds and the
// live charts' time go on evenly throughout.
TEST(ClockStep, RunMomentsSpeedsAndChartTimeGoOnEvenlyWhenTheClockSteps) {
    constexpr qint64 kHour = 3600 * 1000;
    enum Step { Set, Summer };
    const struct {
        const char* name;
        bool frame;
        Step how;
        int at; // the poll the step comes before
        qint64 ms;
    } cases[] = {
        {"press, set back mid-run", false, Set, 4, -kHour},
        {"press, set forward mid-run", false, Set, 4, kHour},
        {"press, set back as a run opens", false, Set, 1, -kHour},
        {"press, set back between runs", false, Set, 8, -kHour},
        {"press, set forward between runs", false, Set, 8, kHour},
        {"press, summer time ends mid-run", false, Summer, 4, -kHour},
        {"frame, set back mid-run", true, Set, 4, -kHour},
        {"frame, set forward between runs", true, Set, 8, kHour},
        {"frame, summer time begins mid-run", true, Summer, 4, kHour},
    };
    // Two runs, from poll 1 to 6 and from 9 to 12, at their maximum 4 and 2 polls in.
    const double loads[] = {1, 2, 4, 6, 8, 10, 7, 1, 1, 3, 5, 9, 4, 1};
    const int opens[] = {1, 9};
    const qint64 toMaximum[] = {4 * 300, 2 * 300};
    const QTimeZone sofia("Europe/Sofia");
    ASSERT_TRUE(sofia.isValid());
    // When the clock face goes back from 04:00 to 03:00, and forward from 03:00 to 04:00.
    const QDateTime autumn(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC);
    const QDateTime spring(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC);
    QTemporaryDir dir;
    QFile ini(dir.path() + "/prjNUV.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[dev]\r\nupp=1\r\ndownn=1\r\nmaxstart=2\r\n");
    ini.close();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A change of summer time falls 150 ms before poll `at`.
        const QDateTime start = c.how == Set
                                    ? QDateTime(QDate(2026, 12, 9), QTime(10, 0), sofia)
                                    : (c.ms < 0 ? autumn : spring).addMSecs(-300 * c.at - 150);
        ComputerClock clock(start, sofia);
        FakeView view;
        FakeLog log;
        MomentRecorder rec(clock);
        TAcqState s;
        s.PressRunId = s.CbrRunId = -1;
        TPressChannel press(view, rec, log, clock, ini.fileName(), TFormats(QLocale::c()));
        TCbrChannel cbr(view, rec, TFormats(QLocale::c()), clock);
        const TSteadyClock chartTime(clock); // what the live charts' time axis follows
        QList<QDateTime> wall;
        for (int i = 0; i < 14; ++i) {
            clock.advance(300);
            if (i == c.at && c.how == Set)
                clock.set(clock.now().addMSecs(c.ms));
            wall.append(clock.now());
            if (i == c.at) {
                ASSERT_EQ(TimeStamp::wallMs(wall[i]) - TimeStamp::wallMs(wall[i - 1]), c.ms + 300);
            }
            // A frame's raw reading of 3 is 0.6 after scaling: below its threshold.
            s.Reply1 = QString(c.frame ? "ML%1\r\n" : "PL%1\r\n")
                           .arg(loads[i] * (c.frame ? 3 : 1), 5, 'f', 2, QLatin1Char('0'));
            s.Reply2 = "MD20.00\r\n";
            c.frame ? cbr.ProcessCbrSample(s) : press.ProcessPressSample(s);
            EXPECT_EQ(chartTime.now(), start.addMSecs(300 * (i + 1))) << i;
        }
        ASSERT_EQ(rec.starts.size(), 2);
        ASSERT_EQ(rec.samples.size(), (c.frame ? 2 : 1) * (6 + 4));
        for (int r = 0; r < 2; ++r) {
            // What the database keeps of a moment is its clock face.
            const auto face = [](const QDateTime& t) { return TimeStamp::wallMs(t); };
            EXPECT_EQ(face(rec.starts[r]), face(wall[opens[r]])) << r;
            QList<std::pair<Sample, QDateTime>> run;
            for (const auto& sample : rec.samples)
                if (sample.first.run == 57 + r && sample.first.dev != 3)
                    run.append(sample);
            for (int k = 0; k < run.size(); ++k)
                EXPECT_EQ(face(run[k].second) - face(rec.starts[r]), 300 * k) << r << k;
            const auto top = std::max_element(run.begin(), run.end(), [](auto& a, auto& b) {
                return a.first.value < b.first.value;
            });
            EXPECT_EQ(face(top->second) - face(run.front().second), toMaximum[r]) << r;
        }
        EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join('|').toStdString();
        if (c.frame)
            continue;
        for (int i = 1; i < 14; ++i)
            EXPECT_NEAR(view.press[i].second, (loads[i] - loads[i - 1]) / 0.3, 1e-9) << i;
        for (int k = 0; k < rec.samples.size(); ++k) {
            const int poll = k < 6 ? k + 1 : k + 3;
            EXPECT_NEAR(rec.samples[k].first.speed, (loads[poll] - loads[poll - 1]) / 0.3, 1e-9)
                << k;
        }
        // Over the last run's 1.2 s, and over the last ten polls' 2.7 s.
        EXPECT_EQ(view.text[TReadout::Label18], "-1.67");
        EXPECT_EQ(view.text[TReadout::Label12], "-2.59");
    }
}

class CbrTest : public ::testing::Test {
protected:
    void SetUp() override { m_state.CbrRunId = -1; }
    void sample(const QString& load, const QString& deformation) {
        m_state.Reply1 = load;
        m_state.Reply2 = deformation;
        m_cbr.ProcessCbrSample(m_state);
    }
    FakeView m_view;
    FakeRecorder m_rec;
    TAcqState m_state;
    TCbrChannel m_cbr{m_view, m_rec, TFormats(QLocale::c())};
};

TEST_F(CbrTest, ThresholdIdleDeformationAndRunDeformation) {
    sample("ML4.980\r\n", "MD24.50\r\n");
    EXPECT_TRUE(m_rec.runs.isEmpty());
    EXPECT_EQ(m_view.text[TReadout::Label16], "0.50");
    ASSERT_EQ(m_view.cbr.size(), 1);
    EXPECT_DOUBLE_EQ(m_view.cbr[0].second, 0.5);
    EXPECT_EQ(m_view.text[TReadout::Label15], "1.00"); // 0.99995...

    sample("ML5.080\r\n", "MD20.00\r\n"); // 1.02: a run opens
    EXPECT_EQ(m_rec.runs, QList<int>{2});
    sample("ML9.000\r\n", "MD18.50\r\n");
    ASSERT_EQ(m_rec.samples.size(), 4);
    EXPECT_EQ(m_rec.samples[0].dev, 2);
    EXPECT_NEAR(m_rec.samples[0].value, 5.08 * 25 / 127 * 1.02, 1e-12);
    EXPECT_EQ(m_rec.samples[1].dev, 3);
    EXPECT_EQ(m_rec.samples[1].value, 0.0);
    EXPECT_EQ(m_rec.samples[3].value, 1.5);
    EXPECT_EQ(m_rec.samples[3].speed, 0.0);
    EXPECT_EQ(m_view.text[TReadout::Label16], "0.50"); // unchanged while the run is open

    sample("ML1.000\r\n", "MD24.00\r\n"); // ends the run, not recorded
    EXPECT_EQ(m_rec.samples.size(), 4);
    EXPECT_EQ(m_state.CbrRunId, -1);
    EXPECT_EQ(m_state.StartDeformation, 25.0);
}

TEST_F(CbrTest, ReplyFormsAndSilentFailures) {
    sample("ML5.080\r\n", "24.50\r\n"); // deformation carriage return at 6: used
    EXPECT_EQ(m_view.cbr.size(), 1);
    sample("ML5.080\r\n", "4.50\r\n"); // at 5: no sample
    sample("ML5.080\r\n", "not answer");
    sample("L5.080\r\n", "MD24.50\r\n"); // load carriage return at 7 is fine...
    EXPECT_EQ(m_view.cbr.size(), 2);
    sample("5.080\r\n", "MD24.50\r\n"); // ...at 6 is not
    sample("MLab.cd\r\n", "MD24.50\r\n");
    EXPECT_EQ(m_view.cbr.size(), 2);
    m_rec.failStart = true;
    m_state.CbrRunId = -1;
    EXPECT_NO_THROW(sample("ML9.000\r\n", "MD24.00\r\n"));
    EXPECT_EQ(m_state.CbrRunId, -1);
}

// Noise that reads as no finite number within the five-character field
// never reaches the readouts, the chart or the recorder.
TEST_F(CbrTest, ImpossibleReadingsAreNeverRecorded) {
    sample("ML9.000\r\n", "MD20.00\r\n");
    ASSERT_EQ(m_rec.samples.size(), 2);
    for (const char* load : {"ML  inf\r\n", "ML1e999\r\n", "ML1e+10\r\n", "ML  nan\r\n"})
        sample(load, "MD19.00\r\n");
    for (const char* deformation : {"MD  inf\r\n", "MD1e+10\r\n", "MD0x1p3\r\n"})
        sample("ML9.000\r\n", deformation);
    EXPECT_EQ(m_rec.samples.size(), 2);
    EXPECT_EQ(m_view.cbr.size(), 1);
    EXPECT_EQ(m_state.CbrRunId, 57); // the run stays open
    sample("ML9.000\r\n", "MD19.00\r\n");
    EXPECT_EQ(m_rec.samples.size(), 4);
}

} // namespace
