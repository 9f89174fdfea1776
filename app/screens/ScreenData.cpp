#include "app/screens/ScreenData.h"

#include "core/TClock.h"
#include "db/TIBDatabase.h"
#include "db/TTrace.h"
#include "testsupport/DeletedRuns.h"
#include "testsupport/TestDatabase.h"

#include <QDateTime>

#include <cmath>

namespace {

using Samples = QList<std::tuple<int, double, int>>;

// A press test: the load rises at an even rate to the break, then drops.
Samples pressRun(double peakKn, int count) {
    Samples out;
    const int stepMs = 850;
    for (int i = 0; i < count - 2; ++i) {
        const double f = double(i) / (count - 3);
        out.append({i * stepMs, 5.2 + (peakKn - 5.2) * std::pow(f, 1.1), 1});
    }
    out.append({(count - 2) * stepMs, peakKn * 0.62, 1});
    out.append({(count - 1) * stepMs, peakKn * 0.08, 1});
    return out;
}

// A Marshall/CBR test: load (device 2) and deformation (device 3) read in pairs.
Samples cbrRun(double peakKn, double flowMm, int count) {
    Samples out;
    const int stepMs = 500;
    for (int i = 0; i < count; ++i) {
        const double f = double(i) / (count - 1);
        const double load = peakKn * std::sin(f * 3.14159 * 0.8) / std::sin(3.14159 * 0.4);
        out.append({i * stepMs, std::max(0.0, std::min(load, peakKn)), 2});
        out.append({i * stepMs, flowMm * f, 3});
    }
    return out;
}

void series(TIBDatabase& db, int id, const QDateTime& at, const QString& comment, int type,
            int object) {
    execSql(db,
            "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)"
            " values(:id, :t, :k, :m, :o)",
            {{"id", id}, {"t", at}, {"k", comment}, {"m", type}, {"o", object}});
}

void objects(TIBDatabase& db) {
    const QStringList names{ScreenData::firstObject(), "Път II-18, участък 3",
                            "Жилищна сграда бл. 5, ж.к. Младост",
                            "Пречиствателна станция Кубратово"};
    for (int i = 0; i < names.size(); ++i)
        execSql(db, "insert into obekt(obekt_id, ime) values(:id, :n)",
                {{"id", i + 1}, {"n", names[i]}});
}

void audit(TIBDatabase& db, const QDateTime& at, const QString& login, const QString& station,
           const TTrace::AuditEntry& entry) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    TTransactionGuard guard(tr);
    TTrace::audit(q, at, login, station, entry);
    guard.commit();
}

QString seriesText(TIBDatabase& db, int series) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    const QString text = TTrace::seriesSummary(q, series);
    tr.Commit();
    return text;
}

// What the trail and the deleted runs hold after those days: the objects
// added, the series saved, a zeroing, changed constants, and two runs deleted.
void trace(TIBDatabase& db, const QDate& today) {
    const QDateTime earlier(today.addDays(-3), QTime(8, 15, 0));
    const QStringList objects{ScreenData::firstObject(), "Път II-18, участък 3"};
    for (int i = 0; i < objects.size(); ++i)
        audit(db, earlier.addSecs(i * 60), "ivanova", "LAB-PRESA",
              {TTrace::kObjectAdded,
               {},
               QStringLiteral("обект %1: %2").arg(i + 1).arg(objects[i]),
               {}});
    audit(db, QDateTime(today.addDays(-1), QTime(8, 50, 0)), "ivanova", "LAB-PRESA",
          {TTrace::kConstantsChanged,
           "upp=1.02; downn=0.5; maxstart=5",
           "upp=1.025; downn=0.5; maxstart=5",
           {}});
    audit(db, QDateTime(today.addDays(-1), QTime(9, 5, 0)), "ivanova", "LAB-PRESA",
          {TTrace::kZeroing, {}, "нулиране: -0.42", {}});
    audit(db, QDateTime(today.addDays(-1), QTime(9, 30, 0)), "ivanova", "LAB-PRESA",
          {TTrace::kSeriesSaved, {}, seriesText(db, 1), {}});
    audit(db, QDateTime(today.addDays(-1), QTime(14, 10, 0)), "petrov", "LAB-MARSHALL",
          {TTrace::kSeriesSaved, {}, seriesText(db, 2), {}});
    deleteRunToBin(db, 10,
                   {QDateTime(today, QTime(8, 31, 0)), "ivanova", "LAB-PRESA",
                    "Кубът е поставен накриво, изпитанието е повторено"});
    deleteRunToBin(db, 11,
                   {QDateTime(today, QTime(9, 2, 0)), "petrov", "LAB-MARSHALL", "Грешен образец"});
}

// Ids handed out later by the program start after the ones used here.
void moveGenerators(TIBDatabase& db) {
    for (const char* g : {"gen_mes_id", "gen_mes_group_id", "gen_obekt_id"})
        execSql(db, QStringLiteral("alter sequence %1 restart with 100").arg(QLatin1String(g)));
}

} // namespace

QString ScreenData::firstObject() {
    return QStringLiteral("Мост над р. Искър при км 12+300");
}

void ScreenData::create(const QString& path) {
    makeTestDatabase(path);
    TIBDatabase db;
    db.DatabaseName = path;
    db.Open();
    objects(db);
    const QDate today = TClock::program().today();
    const QDateTime morning(today.addDays(-1), QTime(9, 12, 5));
    series(db, 1, morning, "Бетон C25/30, кубове 150 mm, партида 14, възраст 28 дни", 1, 1);
    const double peaks[] = {712.4, 688.9, 730.6};
    for (int r = 0; r < 3; ++r)
        addRun(db, r + 1, 1, 1, morning.addSecs(r * 240), pressRun(peaks[r], 60));

    const QDateTime noon(today.addDays(-1), QTime(13, 40, 0));
    series(db, 2, noon, "Асфалтобетон AC 16 surf, Маршал", 4, 1);
    addRun(db, 4, 2, 2, noon, cbrRun(12.6, 3.4, 50));
    addRun(db, 5, 2, 2, noon.addSecs(300), cbrRun(11.9, 3.1, 50));

    const QDateTime now(today, QTime(10, 5, 30));
    const double open[] = {455.2, 471.8, 463.0};
    for (int r = 0; r < 3; ++r)
        addRun(db, 6 + r, QVariant(), 1, now.addSecs(r * 200), pressRun(open[r], 58));
    addRun(db, 9, QVariant(), 2, now.addSecs(900), cbrRun(10.8, 3.6, 45));
    addRun(db, 10, QVariant(), 1, now.addSecs(-3600), pressRun(118.3, 25));
    addRun(db, 11, 2, 2, noon.addSecs(600), cbrRun(4.2, 1.1, 30));
    trace(db, today);
    moveGenerators(db);
    db.Close();
}
