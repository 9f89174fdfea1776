#include "objects/TfrmObekt.h"
#include "db/TTrace.h"
#include "db/dmmainU.h"
#include "objects/TObektTable.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class ObektTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
    }

    // What the rest of the system sees: a transaction of its own.
    QStringList stored() {
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        q.setSQL("select obekt_id, ime from obekt order by obekt_id");
        q.Open();
        QStringList out;
        for (int r = 0; r < q.RecordCount(); ++r)
            out.append(q.Value(r, 0).toString() + ":" + q.Value(r, 1).toString());
        tr.Commit();
        return out;
    }

    std::unique_ptr<TfrmObekt> open() {
        auto w = std::make_unique<TfrmObekt>(m_paths, m_dm);
        w->show();
        return w;
    }

    // Into the name's editor where "+" opened one, as the operator types.
    void type(TfrmObekt& w, const QString& name) {
        const auto editors =
            child<QTableView>(w, "DBGrid1")->viewport()->findChildren<QLineEdit*>();
        for (QLineEdit* editor : editors) {
            if (editor->isVisible()) {
                editor->setText(name);
                return;
            }
        }
        w.OBEKT->setData(w.OBEKT->index(w.OBEKT->current(), TObektTable::colIme), name,
                         Qt::EditRole);
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    FakeMessages m_messages;
    TdmMain m_dm;
};

TEST_F(ObektTest, InsertsGetTheirIdsAtOnceAndNumberIsReadOnly) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Обекти");
    EXPECT_EQ(child<QTableView>(*w, "DBGrid1")->model()->rowCount(), 0);
    child<QToolButton>(*w, "nbInsert")->click();
    const int first = w->OBEKT->id(0).toInt();
    EXPECT_GT(first, 0); // shown at once in "Номер"
    EXPECT_EQ(child<QTableView>(*w, "DBGrid1")
                  ->model()
                  ->data(w->OBEKT->index(0, 0), Qt::DisplayRole)
                  .toInt(),
              first);
    EXPECT_FALSE(w->OBEKT->flags(w->OBEKT->index(0, TObektTable::colId)) & Qt::ItemIsEditable);
    type(*w, "Мост 'Север'");
    child<QToolButton>(*w, "nbInsert")->click(); // posts the first, starts the second
    type(*w, "Път I-1");
    child<QToolButton>(*w, "nbPost")->click();
    EXPECT_EQ(w->OBEKT->RecordCount(), 2);
    EXPECT_TRUE(stored().isEmpty()); // not visible before the window closes with Yes
    w->accept();
    EXPECT_FALSE(w->isVisible());
    const QStringList objects = stored();
    ASSERT_EQ(objects.size(), 2);
    EXPECT_TRUE(objects.contains(QString::number(first) + ":Мост 'Север'"));
    EXPECT_EQ(m_messages.questions, QStringList{"?|Желаете ли да запомните избраните записи ?"});
}

TEST_F(ObektTest, EmptyNamesAreDroppedOrRestored) {
    {
        auto w = open();
        child<QToolButton>(*w, "nbInsert")->click();
        type(*w, "A");
        child<QToolButton>(*w, "nbPost")->click();
        w->accept();
    }
    ASSERT_EQ(stored().size(), 1) << m_messages.errors.join("|").toStdString();
    auto w = open();
    child<QToolButton>(*w, "nbInsert")->click();
    const int dropped = w->OBEKT->id(0).toInt();
    type(*w, "   ");
    child<QToolButton>(*w, "nbPost")->click(); // blanks are no name: the row is dropped
    EXPECT_EQ(w->OBEKT->RecordCount(), 1);
    child<QToolButton>(*w, "nbInsert")->click();
    EXPECT_GT(w->OBEKT->id(0).toInt(), dropped); // its id is not used again
    child<QToolButton>(*w, "nbCancel")->click();

    type(*w, "");
    child<QToolButton>(*w, "nbPost")->click(); // clearing an existing name gives it back
    EXPECT_EQ(w->OBEKT->ime(0), "A");

    // Moving past the last row starts a row with an id; leaving it without a name drops it.
    QTest::keyClick(child<QTableView>(*w, "DBGrid1"), Qt::Key_Down);
    EXPECT_EQ(w->OBEKT->RecordCount(), 2);
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Insert);
    EXPECT_GT(w->OBEKT->id(1).toInt(), 0);
    child<QToolButton>(*w, "nbFirst")->click();
    EXPECT_EQ(w->OBEKT->RecordCount(), 1);
    EXPECT_EQ(w->OBEKT->current(), 0);

    type(*w, QString(101, QChar('x'))); // too long: a message, the row stays in edit
    child<QToolButton>(*w, "nbPost")->click();
    EXPECT_EQ(m_messages.errors.last(), "Името е по-дълго от 100 знака!!!");
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Edit);
    child<QToolButton>(*w, "nbCancel")->click();
    m_messages.answers = {true};
    w->accept();
    EXPECT_EQ(stored().size(), 1);
}

TEST_F(ObektTest, YesKeepsAndNoDiscardsChangesAndDeletions) {
    {
        auto w = open();
        child<QToolButton>(*w, "nbInsert")->click();
        type(*w, "Стар");
        child<QToolButton>(*w, "nbPost")->click();
        w->accept();
    }
    const QString before = stored().first();
    {
        auto w = open();
        type(*w, "Нов");
        child<QToolButton>(*w, "nbPost")->click();
        m_messages.answers = {false};
        w->accept();
        EXPECT_EQ(stored().first(), before);
    }
    {
        auto w = open();
        m_messages.answers = {true, false}; // delete: yes; close: no
        child<QToolButton>(*w, "nbDelete")->click();
        EXPECT_EQ(w->OBEKT->RecordCount(), 0);
        w->accept();
        EXPECT_EQ(stored(), QStringList{before});
    }
    {
        auto w = open();
        type(*w, "Нов"); // typed and not posted: the close posts it before asking
        m_messages.answers = {true};
        w->accept();
        EXPECT_TRUE(stored().first().endsWith(":Нов"));
    }
    {
        auto w = open();
        type(*w, "Друг");
        m_messages.reasons = {""}; // Escape when asked why: the name stays
        child<QToolButton>(*w, "nbPost")->click();
        EXPECT_EQ(w->OBEKT->ime(0), "Нов");
        m_messages.answers = {true};
        w->accept();
    }
    // The trail holds what was kept: the addition, and the rename with its reason.
    const QString id = before.section(':', 0, 0);
    EXPECT_EQ(selectRows(m_dm.dbNUV, "select action, before_text, after_text, reason from "
                                     "audit_trail order by audit_id"),
              (QList<QList<QVariant>>{
                  {TTrace::kObjectAdded, QVariant(), "обект " + id + ": Стар", QVariant()},
                  {TTrace::kObjectRenamed, "обект " + id + ": Стар", "обект " + id + ": Нов",
                   "проба"}}));
}

TEST_F(ObektTest, AnObjectInUseIsNotDeleted) {
    {
        auto w = open();
        child<QToolButton>(*w, "nbInsert")->click();
        type(*w, "Използван");
        child<QToolButton>(*w, "nbPost")->click();
        w->accept();
    }
    const int id = stored().first().section(':', 0, 0).toInt();
    TIBTransaction tr(m_dm.dbNUV);
    TIBQuery q(m_dm.dbNUV, tr);
    for (int group : {1, 2}) {
        q.setSQL(
            QString(
                "insert into mes_group(mes_group_id, obekt_id, multiplier_id) values(%1, %2, 1)")
                .arg(group)
                .arg(id));
        q.ExecSQL();
    }
    tr.Commit();
    auto w = open();
    m_messages.answers = {true};
    child<QToolButton>(*w, "nbDelete")->click();
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_EQ(m_messages.errors.first(),
              "Обектът „Използван“ се използва от 2 серии и не може да бъде изтрит.");
    EXPECT_EQ(w->OBEKT->RecordCount(), 1);
    m_messages.answers = {true};
    w->accept();
    EXPECT_EQ(stored().size(), 1);
}

TEST_F(ObektTest, FailingIdRequestLeavesARowThatCanOnlyBeCancelled) {
    auto w = open();
    m_dm.spGenID.setStoredProcName("NEXT_NOTHING"); // a procedure name of the next request
    m_dm.trObekt.Commit();
    m_dm.dbNUV.Close();
    isql(m_paths.database(), "drop procedure NEXT_OBEKT; commit;");
    m_dm.dbNUV.Open();
    m_dm.trObekt.StartTransaction();
    child<QToolButton>(*w, "nbInsert")->click();
    ASSERT_EQ(m_messages.errors.size(), 1);
    EXPECT_TRUE(m_messages.errors.first().startsWith(
        "Грешка при генериране на уникалния номер на таблицаOBEKT"));
    type(*w, "X");
    child<QToolButton>(*w, "nbPost")->click(); // refused by the database: no id
    EXPECT_EQ(m_messages.errors.size(), 2);
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Insert);
    child<QToolButton>(*w, "nbCancel")->click();
    EXPECT_EQ(w->OBEKT->RecordCount(), 0);
    m_messages.answers = {false};
    w->accept();
}

// A row the database refuses reaches the window as one box over it: what was
// not stored, in the operator's words, and the engine's own text below.
TEST_F(ObektTest, ARefusedRowIsReportedByTheWindowWithTheEngineCause) {
    auto w = open();
    child<QToolButton>(*w, "nbInsert")->click();
    const int id = w->OBEKT->id(0).toInt();
    // Another workstation takes the same number first.
    execSql(m_dm.dbNUV, QString("insert into obekt(obekt_id, ime) values(%1, 'Чужд')").arg(id));
    type(*w, "Дубликат");
    child<QToolButton>(*w, "nbPost")->click();
    ASSERT_EQ(m_messages.errors.size(), 1);
    const QString shown = m_messages.errors.first();
    EXPECT_TRUE(shown.startsWith("Обектът „Дубликат“ не беше записан.\n\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("violation of PRIMARY or UNIQUE KEY")) << shown.toStdString();
    EXPECT_EQ(m_messages.errorParents.first(), w.get());
    EXPECT_EQ(w->OBEKT->state(), TObektTable::State::Insert); // the row stays to be mended

    // A model used without a window shows nothing itself: it only reports.
    FakeMessages quiet;
    TObektTable bare(m_dm);
    QStringList reported;
    QObject::connect(&bare, &TObektTable::failed,
                     [&](const QString& text, const QString& cause) { reported << text << cause; });
    bare.Open();
    bare.Append();
    bare.setData(bare.index(bare.current(), TObektTable::colIme), QString(101, QChar('x')),
                 Qt::EditRole);
    EXPECT_FALSE(bare.Post());
    EXPECT_EQ(reported, (QStringList{"Името е по-дълго от 100 знака!!!", ""}));
    EXPECT_TRUE(quiet.errors.isEmpty());
    bare.Cancel();
    child<QToolButton>(*w, "nbCancel")->click();
    m_messages.answers = {false};
    w->accept();
}

// Two workstations edit the same object: the second waits a moment for the
// first, then is told in words, and keeps its row to mend; only what the
// first saved is stored.
TEST_F(ObektTest, TheSameObjectEditedAtTwoWorkstationsIsSaidAndNothingHalfSaved) {
    execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(9001, 'Мост')");
    TdmMain other;
    other.dbNUV.DatabaseName = m_paths.database();
    other.dbNUV.Open();
    TObektTable first(m_dm), second(other);
    QStringList reported;
    QObject::connect(&second, &TObektTable::failed,
                     [&](const QString& text, const QString& cause) { reported << text << cause; });
    first.Open();
    second.Open();
    ASSERT_GT(first.RecordCount(), 0);
    const QString id = first.id(0).toString();
    first.setData(first.index(0, TObektTable::colIme), QStringLiteral("Мост Първи"), Qt::EditRole);
    ASSERT_TRUE(first.Post());
    second.setData(second.index(0, TObektTable::colIme), QStringLiteral("Мост Втори"),
                   Qt::EditRole);
    EXPECT_FALSE(second.Post());
    ASSERT_EQ(reported.size(), 2);
    EXPECT_TRUE(reported[0].startsWith("Обектът „Мост Втори“ не беше записан. Друго работно "
                                       "място променя същия обект в момента"))
        << reported[0].toStdString();
    EXPECT_FALSE(reported[1].isEmpty()); // the engine's words for the maintainer
    EXPECT_EQ(second.state(), TObektTable::State::Edit);
    second.Cancel();
    m_dm.trObekt.Commit();
    other.trObekt.Rollback();
    EXPECT_TRUE(stored().contains(id + ":Мост Първи"));
}

} // namespace
