// The grouping window's two database actions, saving a series and deleting a
// run, with one file-system call on the database failing in turn (the fault
// library, preloaded, arms the fault only around the action). Whatever call
// fails, the operator is told in Bulgarian when the action did not happen, the
// action happened whole or not at all, and the file read afresh by another
// process holds every sample. Without the library preloaded the test skips.
//   NUV_FAULT_SWEEP=all   every call, not a fixed handful
//   NUV_FAULT_ERRNO=EIO   an I/O error instead of a full disk
//   NUV_FAULT_PERSIST=1   every call from the failing one on fails, until the action ends
#include "core/Exception.h"
#include "db/dmmainU.h"
#include "grouping/TfrmGroup.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"
#include "widgets/TDBGrid.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <set>

namespace {

using ArmFn = int (*)(const char*, long, int, const char*);
using DisarmFn = long (*)();
using LastFn = const char* (*)();

const QDateTime kT0(QDate(2024, 3, 5), QTime(10, 0, 0));
constexpr int kRuns = 3;
constexpr int kSamplesPerRun = 40;

// A count read by another process: what reached the file.
int diskCount(const QString& database, const QString& select) {
    return isql(database, "set list on; " + select + ";").simplified().section(' ', 1).toInt();
}

// A database with three runs, made once and copied for every attempt.
const QString& runsTemplate() {
    static QTemporaryDir dir;
    static const QString file = [] {
        const QString path = dir.path() + "/runs.gdb";
        makeTestDatabase(path);
        TdmMain dm;
        dm.dbNUV.DatabaseName = path;
        dm.dbNUV.Open();
        execSql(dm.dbNUV, "insert into obekt(obekt_id, ime) values(1, 'Мост')");
        for (int id = 1; id <= kRuns; ++id) {
            QList<std::tuple<int, double, int>> samples;
            for (int i = 0; i < kSamplesPerRun; ++i)
                samples.append({i * 300, i * 1.5, 1});
            addRun(dm.dbNUV, id, QVariant(), 1, kT0.addSecs(id * 60), samples);
        }
        dm.dbNUV.Close();
        return path;
    }();
    return file;
}

// One attempt: a copy of that database in `folder` and the window open on it.
struct Bench {
    explicit Bench(const QString& folder) : paths(AppPaths::in(folder)) {
        QFile::copy(runsTemplate(), paths.database());
        QFile::setPermissions(paths.database(), QFile::ReadOwner | QFile::WriteOwner);
        dm.dbNUV.DatabaseName = paths.database();
        dm.dbNUV.Open();
        window = std::make_unique<TfrmGroup>(paths, dm, TFormats(QLocale::c()));
        window->show();
    }
    int scalar(const QString& sql) { return selectRows(dm.dbNUV, sql).value(0).value(0).toInt(); }

    AppPaths paths;
    FakeMessages messages;
    TdmMain dm;
    std::unique_ptr<TfrmGroup> window;
};

bool bulgarian(const QString& text) {
    for (QChar c : text)
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    return false;
}

// The window's state goes to the settings file as it closes; a save that
// fails shows the text prescribed for it, apart from the action's own errors.
const QString kSettingsFailure = QStringLiteral("Unable to write to ");

QStringList actionErrors(const Bench& b) {
    QStringList out;
    for (const QString& e : b.messages.errors)
        if (!e.startsWith(kSettingsFailure))
            out.append(e);
    return out;
}

// The settings file is the one the fault-free run wrote, or untouched (absent),
// and a save that did not happen was reported.
QString checkSettings(const Bench& b, const QByteArray& wanted) {
    QFile f(b.paths.settings());
    const bool whole = f.exists() ? f.open(QIODevice::ReadOnly) && f.readAll() == wanted : true;
    if (!whole)
        return QStringLiteral("settings file half written");
    const bool saved = f.exists();
    const bool reported = b.messages.errors.size() > actionErrors(b).size();
    if (!saved && !reported && !b.window->isVisible())
        return QStringLiteral("settings not saved, nobody told");
    return QString();
}

struct Action {
    const char* name;
    std::function<void(Bench&)> prepare; // before the fault is armed
    std::function<void(Bench&)> act;
    // What the window and the database say after the action; "" when sound.
    std::function<QString(Bench&)> check;
    // A count that another process must read once the program is gone, and
    // its value after what the window said.
    const char* onDisk;
    std::function<int(Bench&)> expected;
};

QString checkSave(Bench& b) {
    const int series = b.scalar("select count(*) from mes_group");
    const int assigned = b.scalar("select count(*) from mes where mes_group_id is not null");
    const QStringList errors = actionErrors(b);
    if (errors.isEmpty())
        return series == 1 && assigned == kRuns && !b.window->isVisible()
                   ? QString()
                   : QStringLiteral("failure reported as success");
    if (!bulgarian(errors.first()))
        return QStringLiteral("message");
    return series == 0 && assigned == 0 && b.window->isVisible()
               ? QString()
               : QStringLiteral("said not saved, yet %1 series, %2 runs in one, window %3")
                     .arg(series)
                     .arg(assigned)
                     .arg(b.window->isVisible() ? "open" : "closed");
}

// A deleted run is kept whole among the deleted ones; one not deleted is not there.
QString checkBin(Bench& b, int left) {
    const int kept = b.scalar("select count(*) from mes_de_bin where mes_id = 1");
    return kept == (left == 0 ? kSamplesPerRun : 0) ? QString()
                                                    : QStringLiteral("deleted run not kept whole");
}

QString checkDelete(Bench& b) {
    const int left = b.scalar("select count(*) from mes where mes_id = 1");
    const int otherSamples = b.scalar("select count(*) from mes_de where mes_id <> 1");
    if (otherSamples != (kRuns - 1) * kSamplesPerRun)
        return QStringLiteral("lost samples");
    const QStringList errors = actionErrors(b);
    if (errors.isEmpty())
        return left == 0 ? checkBin(b, left) : QStringLiteral("failure reported as success");
    if (!bulgarian(errors.first()))
        return QStringLiteral("message");
    // Either the deletion or only the re-reading failed; each says which.
    const bool deleted = !errors.first().contains("не беше изтрито");
    if ((left == 0) != deleted)
        return QStringLiteral("said %1 deleted, yet the run is %2")
            .arg(deleted ? "" : "not", left == 0 ? "gone" : "there");
    return checkBin(b, left);
}

const Action kActions[] = {
    {"save series",
     [](Bench& b) {
         auto* grid = child<TDBGrid>(*b.window, "DBGrid1");
         for (int row = 0; row < kRuns; ++row) {
             grid->setCurrentIndex(grid->model()->index(row, 0));
             child<QPushButton>(*b.window, "Button2")->click();
         }
         child<QLineEdit>(*b.window, "edKomentar")->setText("Проба");
         child<QComboBox>(*b.window, "DBLookupComboBox1")->setCurrentIndex(0);
         child<QComboBox>(*b.window, "DBLookupComboBox2")->setCurrentIndex(0);
     },
     [](Bench& b) { b.window->accept(); }, checkSave,
     "select count(*) from mes where mes_group_id is not null",
     [](Bench& b) { return actionErrors(b).isEmpty() ? kRuns : 0; }},
    {"delete run", [](Bench&) {},
     [](Bench& b) { child<QPushButton>(*b.window, "Button1")->click(); }, checkDelete,
     "select count(*) from mes where mes_id = 1",
     [](Bench& b) { return b.scalar("select count(*) from mes where mes_id = 1"); }},
};

// The calls tried out of `count`: all of them, or the first, the last and a few between.
std::set<long> points(long count) {
    std::set<long> out;
    if (qgetenv("NUV_FAULT_SWEEP") == "all") {
        for (long n = 1; n <= count; ++n)
            out.insert(n);
        return out;
    }
    for (long n : {1L, 2L, count / 3, count / 2, 2 * count / 3, count - 1, count})
        if (n >= 1 && n <= count)
            out.insert(n);
    return out;
}

TEST(FaultSweep, GroupingActionsUnderFailingDatabaseCalls) {
    const auto arm = reinterpret_cast<ArmFn>(dlsym(RTLD_DEFAULT, "nuv_fault_arm"));
    const auto disarm = reinterpret_cast<DisarmFn>(dlsym(RTLD_DEFAULT, "nuv_fault_disarm"));
    const auto last = reinterpret_cast<LastFn>(dlsym(RTLD_DEFAULT, "nuv_fault_last"));
    if (!arm || !disarm || !last)
        GTEST_SKIP() << "the fault library is not preloaded (LD_PRELOAD)";
    const int err = qgetenv("NUV_FAULT_ERRNO") == "EIO" ? EIO : ENOSPC;

    for (const Action& action : kActions) {
        long count = 0;
        QByteArray settings; // what the fault-free action leaves in the settings file
        {
            QTemporaryDir dir;
            Bench b(dir.path());
            action.prepare(b);
            arm("any", 0, err, qPrintable(dir.path()));
            action.act(b);
            count = disarm();
            ASSERT_EQ(action.check(b), "") << action.name << " without a fault";
            settings = readAll(b.paths.settings());
        }
        ASSERT_GT(count, 0) << action.name << ": no call reached the database";
        int failed = 0;
        const std::set<long> tried = points(count);
        for (long n : tried) {
            QTemporaryDir dir;
            QString problem, call;
            int expected = -1;
            {
                Bench b(dir.path());
                action.prepare(b);
                arm("any", n, err, qPrintable(dir.path()));
                action.act(b);
                disarm();
                call = QString::fromUtf8(last()).trimmed();
                try {
                    problem = action.check(b);
                    if (problem.isEmpty())
                        problem = checkSettings(b, settings);
                    expected = action.expected(b);
                } catch (const Exception& e) {
                    problem = QStringLiteral("database unusable: ") + e.message();
                }
            } // the window and the connection go as the program's would
            // Read afresh by another process: what reached the file.
            const QString database = dir.path() + "/NUV.GDB";
            if (problem.isEmpty() &&
                diskCount(database, "select count(*) from mes_de") < (kRuns - 1) * kSamplesPerRun)
                problem = QStringLiteral("lost samples on disk");
            if (problem.isEmpty() && diskCount(database, action.onDisk) != expected)
                problem = QStringLiteral("on disk not as the window said");
            if (!problem.isEmpty()) {
                ++failed;
                std::printf("FAULT %s N=%ld call=%s check=%s\n", action.name, n,
                            qPrintable(call.section(' ', 1)), qPrintable(problem));
            }
            EXPECT_EQ(problem, "")
                << action.name << " with call " << qPrintable(call) << " failing";
        }
        std::printf("FAULT-SWEEP %s points=%zu of %ld failed=%d\n", action.name, tried.size(),
                    count, failed);
    }
}

} // namespace
