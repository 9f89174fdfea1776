#include "app/screens/ScreenData.h"

#include "core/TClock.h"
#include "db/TIBDatabase.h"
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
    moveGenerators(db);
    db.Close();
}
