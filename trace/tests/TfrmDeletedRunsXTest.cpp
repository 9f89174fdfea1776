// The deleted runs on a real display: the keys that close the purge's dialogs
// by themselves never erase a run.
#include "core/TClock.h"
#include "testsupport/Child.h"
#include "testsupport/DeletedRuns.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/WindowDbTest.h"
#include "trace/TfrmDeletedRuns.h"
#include "widgets/TDBGrid.h"

#include <QDir>
#include <QPushButton>
#include <QSpinBox>

using namespace Operator;

namespace {

class DeletedRunsXTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        const QDateTime now = TClock::program().now();
        addRun(m_dm.dbNUV, 1, QVariant(), 1, now.addDays(-500), {{0, 10.0, 1}, {500, 99.5, 1}});
        deleteRunToBin(m_dm.dbNUV, 1, {now.addDays(-400), "ivan", "lab-1", "грешна проба"});
    }
    int binned() { return selectRows(m_dm.dbNUV, "select count(*) from mes_de_bin")[0][0].toInt(); }

    // The purge's dialogs as they come: what each showed, and the keys typed in it.
    struct Step {
        QList<Qt::Key> keys;
        QString text = {};
    };
    // Every watch ends within the wait below, so the locals outlive them.
    QStringList purgeThrough(TfrmDeletedRuns& w, QList<Step> steps, TBoxSeen* box) {
        QStringList seen;
        std::function<void()> next = [&] {
            if (steps.isEmpty())
                return;
            const Step step = steps.takeFirst();
            whenModal(
                [&, step](QWidget* dialog) {
                    if (auto* m = qobject_cast<QMessageBox*>(dialog))
                        *box = describe(m);
                    seen.append(dialog->objectName());
                    if (auto* days = dialog->findChild<QSpinBox*>("edDays"))
                        seen.append(QString::number(days->value()));
                    typeText(step.text);
                    for (Qt::Key key : step.keys)
                        press(key);
                    next(); // watches for the dialog that follows this one
                },
                &w, 1000);
        };
        next();
        QTest::mouseClick(child<QPushButton>(w, "btnPurge"), Qt::LeftButton);
        QTest::qWait(2500); // a dialog that should not come has its time, and the watch ends
        return seen;
    }
};

TEST_F(DeletedRunsXTest, EnterAndEscapeNeverPurge) {
    TfrmDeletedRuns w(m_paths, m_dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ASSERT_EQ(child<TDBGrid>(w, "DBGrid1")->model()->rowCount(), 1);
    const QString dir = qEnvironmentVariable("NUV_SCREENS");
    if (!dir.isEmpty())
        w.grab().save(QDir(dir).filePath("deleted-runs-" + QLocale().name() + ".png"));

    // Enter on the list presses no button of the window.
    child<TDBGrid>(w, "DBGrid1")->setFocus();
    TBoxSeen none;
    answerWithKey(&none, Qt::Key_Escape, &w, 1000);
    press(Qt::Key_Return);
    QTest::qWait(1200);
    EXPECT_FALSE(none.shown);
    EXPECT_TRUE(w.isVisible());

    // The age and the reason given, Enter on the last question answers its default, "Не".
    TBoxSeen question;
    EXPECT_EQ(purgeThrough(w, {{{Qt::Key_Return}}, {{Qt::Key_Return}, "стари"}, {{Qt::Key_Return}}},
                           &question),
              QStringList({"dlgPurgeAge", "365", "dlgReason", ""}));
    ASSERT_TRUE(question.shown);
    EXPECT_EQ(question.buttons, QStringList({"Да", "Не"}));
    EXPECT_EQ(question.defaultButton, "Не");
    EXPECT_EQ(binned(), 2);

    // Escape at the reason: no question follows and nothing is erased.
    TBoxSeen after;
    EXPECT_EQ(purgeThrough(w, {{{Qt::Key_Return}}, {{Qt::Key_Escape}, "стари"}, {{Qt::Key_Return}}},
                           &after),
              QStringList({"dlgPurgeAge", "365", "dlgReason"}));
    EXPECT_FALSE(after.shown);
    // Escape at the age: nothing else is asked.
    EXPECT_EQ(purgeThrough(w, {{{Qt::Key_Escape}}, {{Qt::Key_Return}}}, &after),
              QStringList({"dlgPurgeAge", "365"}));
    EXPECT_EQ(binned(), 2);
    EXPECT_EQ(child<TDBGrid>(w, "DBGrid1")->model()->rowCount(), 1);
    EXPECT_EQ(selectRows(m_dm.dbNUV, "select count(*) from audit_trail")[0][0].toInt(), 1);
    EXPECT_TRUE(w.isVisible());
}

} // namespace
