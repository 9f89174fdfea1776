#pragma once

#include "db/TIBQuery.h"
#include "db/TRunData.h"
#include "db/TTransactionGuard.h"
#include "db/dmmainU.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>

#include <cstdio>
#include <stdexcept>

// The long runs ended long ago, as the program ends a run: each gets its
// overview, once.
inline void keepOverviews(const QString& path) {
    TdmMain dm;
    dm.dbNUV.DatabaseName = path;
    dm.dbNUV.Open();
    TIBQuery q(dm.dbNUV, dm.trThread);
    for (int run : {1, 2, 4}) {
        if (TRunData::loadOverview(q, run))
            continue;
        QElapsedTimer t;
        t.start();
        TTransactionGuard tr(dm.trThread);
        TRunData::storeOverview(q, run, TRunData::overviewOf(q, run));
        tr.commit();
        std::fprintf(stderr, "overview of run %d kept in %.1f s\n", run, t.elapsed() / 1000.0);
    }
}

// The review benchmarks' database of 10,000,000 samples (bench/make-review-db.sh),
// made once and kept in the build folder; NUV_REVIEW_DB names another copy.
inline QString reviewDatabase() {
    static const QString path = [] {
        QString p = qEnvironmentVariable("NUV_REVIEW_DB");
        if (p.isEmpty())
            p = QStringLiteral(NUV_BUILD_DIR "/bench-data/NUV-10M.GDB");
        if (!QFile::exists(p)) {
            std::fprintf(stderr, "making %s (about 10 minutes, once)\n", qPrintable(p));
            QProcess make;
            make.setProcessChannelMode(QProcess::ForwardedChannels);
            make.start("bash", {QStringLiteral(NUV_SOURCE_DIR "/bench/make-review-db.sh"), p});
            if (!make.waitForFinished(-1) || make.exitCode() != 0)
                throw std::runtime_error("make-review-db.sh failed");
        }
        keepOverviews(p);
        return p;
    }();
    return path;
}

// The runs it holds: series 1, 2 and 3 with one run each of these sizes.
struct ReviewRun {
    int series;
    int run;
    int samples;
};
inline constexpr ReviewRun kReviewRuns[] = {{1, 1, 1000000}, {2, 2, 100000}, {3, 3, 2000}};
// Run 4, of 1,000,000 samples, belongs to no series (the grouping window).
inline constexpr int kUngroupedMillionRun = 4;
