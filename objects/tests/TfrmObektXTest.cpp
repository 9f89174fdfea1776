// The objects register on a real display, driven by keys and clicks.
#include "db/dmmainU.h"
#include "objects/TObektTable.h"
#include "objects/TfrmObekt.h"
#include "testsupport/Child.h"
#include "testsupport/GTestQt.h"
#include "testsupport/OperatorInput.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Operator;

namespace {

class ObektXTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        // Ids below the ones the register takes from its id routine.
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(-2, 'Мост')");
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(-1, 'Път')");
    }

    std::unique_ptr<TfrmObekt> open() {
        auto w = std::make_unique<TfrmObekt>(m_paths, m_dm);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }

    // Names as the register shows them, and as the rest of the system sees them.
    static QStringList shown(TfrmObekt& w) {
        QStringList out;
        for (int r = 0; r < w.OBEKT->RecordCount(); ++r)
            out.append(w.OBEKT->ime(r));
        return out;
    }
    QStringList stored() {
        QStringList out;
        for (const auto& row : selectRows(m_dm.dbNUV, "select ime from obekt order by obekt_id"))
            out.append(row.first().toString());
        return out;
    }

    static void clickName(TfrmObekt& w, int row) {
        const QRect cell =
            child<QTableView>(w, "DBGrid1")->visualRect(w.OBEKT->index(row, TObektTable::colIme));
        QTest::mouseClick(child<QTableView>(w, "DBGrid1")->viewport(), Qt::LeftButton, {},
                          cell.center());
    }

    // Closes the register as its close button does, answering the keep question by a key.
    static TBoxSeen closeAnswering(TfrmObekt& w, Qt::Key key) {
        TBoxSeen seen;
        answerWithKey(&seen, key, &w);
        w.close();
        QTest::qWait(100);
        return seen;
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    TdmMain m_dm;
};

TEST_F(ObektXTest, TypingAndDownUpPostWhatWasTyped) {
    auto w = open();
    clickName(*w, 1);
    press(Qt::Key_Down); // past the last row: a new row with its id
    ASSERT_EQ(w->OBEKT->RecordCount(), 3);
    EXPECT_FALSE(w->OBEKT->id(2).isNull());
    typeText("Язовир");
    press(Qt::Key_Down); // posted as typed, and the next new row starts
    ASSERT_EQ(w->OBEKT->RecordCount(), 4);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Язовир", ""}));
    typeText("Тунел");
    press(Qt::Key_Up);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Язовир", "Тунел"}));
    EXPECT_EQ(w->OBEKT->current(), 2);
    // Typing on an existing row replaces its name; Up posts it; no other name changes.
    typeText("Бент");
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Път", "Бент", "Тунел"}));
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Browse);

    // Down past the last row on an empty new row starts no second one; Up drops it.
    clickName(*w, 3);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(w->OBEKT->RecordCount(), 5);
    press(Qt::Key_Up);
    EXPECT_EQ(w->OBEKT->RecordCount(), 4);

    const TBoxSeen keep = closeAnswering(*w, Qt::Key_Return); // "Да" is the default
    ASSERT_TRUE(keep.shown);
    EXPECT_EQ(keep.text, "Желаете ли да запомните избраните записи ?");
    EXPECT_EQ(keep.defaultButton, "Да");
    EXPECT_FALSE(keep.icon);
    EXPECT_EQ(stored(), QStringList({"Мост", "Път", "Бент", "Тунел"}));
}

TEST_F(ObektXTest, PlusTakesTheTypingAndEscapeDiscardsOnlyTheRow) {
    auto w = open();
    clickName(*w, 0);
    QTest::mouseClick(child<QToolButton>(*w, "nbInsert"), Qt::LeftButton);
    typeText("Нов");
    press(Qt::Key_Return); // the cell takes the name; the row is still being inserted
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));
    press(Qt::Key_Down);
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Browse);
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));

    // Escape in the cell gives the typing up; Escape on the row drops the new row.
    QTest::mouseClick(child<QToolButton>(*w, "nbInsert"), Qt::LeftButton);
    typeText("Грешка");
    press(Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Insert);
    press(Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(shown(*w), QStringList({"Нов", "Мост", "Път"}));

    // A name still in its cell when the window closes is posted before the question.
    clickName(*w, 2);
    typeText("Пътен възел");
    const TBoxSeen keep = closeAnswering(*w, Qt::Key_Return);
    ASSERT_TRUE(keep.shown);
    QStringList expected = {"Мост", "Пътен възел", "Нов"}; // ordered by id: "Нов" came last
    EXPECT_EQ(stored(), expected);
}

TEST_F(ObektXTest, DeletionQuestionKeepsTheObjectOnEnterAndEscape) {
    auto w = open();
    clickName(*w, 0);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        TBoxSeen seen;
        answerWithKey(&seen, key, w.get());
        press(Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.buttons, QStringList({"Да", "Не"}));
        EXPECT_EQ(seen.defaultButton, "Не");
        EXPECT_EQ(shown(*w), QStringList({"Мост", "Път"}));
        EXPECT_TRUE(w->isVisible());
    }
    // Escape on the keep question goes back to the register; "Не" then discards.
    clickName(*w, 1);
    typeText("Магистрала");
    press(Qt::Key_Up);
    TBoxSeen cancel = closeAnswering(*w, Qt::Key_Escape);
    ASSERT_TRUE(cancel.shown);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(shown(*w), QStringList({"Мост", "Магистрала"}));
    const QString dir = qEnvironmentVariable("NUV_SCREENS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath("objects-" + QLocale().name() + ".png"));
    TBoxSeen no;
    answerWithClick(&no, "Не", w.get());
    w->close();
    QTest::qWait(100);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored(), QStringList({"Мост", "Път"}));
}

} // namespace
