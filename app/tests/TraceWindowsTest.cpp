// The trace windows opened from the main window's top bar.
#include "app/TClickLabel.h"
#include "app/TfrmMain.h"
#include "db/dmmainU.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The name of the modal window a click opened; it is closed at once.
QString openedBy(TClickLabel* label) {
    QString opened;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = d->objectName();
            d->reject();
        }
    });
    poll.start();
    emit label->clicked();
    return opened;
}

TEST(TraceWindows, OpenFromTheTopBarOnlyOverATracedDatabase) {
    QTemporaryDir dir;
    const AppPaths paths = AppPaths::in(dir.path());
    makeTestDatabase(paths.database());
    FakeMessages messages;
    {
        TdmMain dm;
        TfrmMain w(paths, dm);
        EXPECT_EQ(openedBy(child<TClickLabel>(w, "Label24")), "frmDeletedRuns");
        EXPECT_EQ(openedBy(child<TClickLabel>(w, "Label25")), "frmAudit");
        EXPECT_TRUE(messages.infos.isEmpty());
    }
    // A read-only database that lacks one of the trace tables cannot get it.
    isql(paths.database(), "drop table mes_de_bin;\ncommit;\n");
    QProcess gfix;
    gfix.start("gfix", {"-mode", "read_only", "-user", "SYSDBA", paths.database()});
    ASSERT_TRUE(gfix.waitForFinished(60000));
    ASSERT_EQ(gfix.exitCode(), 0) << gfix.readAllStandardError().toStdString();
    TdmMain dm;
    TfrmMain w(paths, dm);
    w.show(); // connects
    ASSERT_TRUE(dm.dbNUV.Connected());
    ASSERT_FALSE(dm.traced());
    for (const char* label : {"Label24", "Label25"})
        EXPECT_EQ(openedBy(child<TClickLabel>(w, label)), "");
    ASSERT_EQ(messages.infos.size(), 2);
    EXPECT_TRUE(messages.infos[0].startsWith(
        "Тази база данни не пази изтритите измервания и дневника на промените.\n\n"))
        << messages.infos[0].toStdString();
    w.close();
}

} // namespace
