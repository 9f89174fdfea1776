#include "trace/TfrmAudit.h"
#include "db/TQueryModel.h"
#include "db/TTrace.h"
#include "testsupport/Child.h"
#include "testsupport/FakeMessages.h"
#include "testsupport/GTestQt.h"
#include "testsupport/WindowDbTest.h"
#include "widgets/TDBGrid.h"

#include <QComboBox>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

class AuditTest : public WindowDbTest {
protected:
    void SetUp() override {
        openDatabaseWithObject();
        TIBTransaction tr(m_dm.dbNUV);
        TIBQuery q(m_dm.dbNUV, tr);
        tr.StartTransaction();
        const auto at = [](int day, const QTime& time) {
            return QDateTime(QDate(2026, 3, day), time);
        };
        TTrace::audit(q, at(1, {10, 0}), "ivan", "lab-1", {TTrace::kRunDeleted, "e1", {}, "r1"});
        TTrace::audit(q, at(5, {12, 0}), "o'neil", "lab-2", {TTrace::kSeriesSaved, {}, "e2", {}});
        TTrace::audit(q, at(5, {23, 59, 59}), "ivan", "lab-1",
                      {TTrace::kRunRestored, {}, "e3", "r3"});
        TTrace::audit(q, at(10, {8, 0}), "ivan", "lab-2", {TTrace::kSeriesSaved, {}, "e4", {}});
        tr.Commit();
    }

    // The entries shown, by their text before or after.
    static QStringList shown(TfrmAudit& w) {
        const auto* model = static_cast<TQueryModel*>(child<TDBGrid>(w, "DBGrid1")->model());
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out.append(model->text(r, 4) + model->text(r, 5));
        return out;
    }
    static QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out.append(box->itemText(i));
        return out;
    }

    FakeMessages m_messages;
};

TEST_F(AuditTest, FiltersNarrowTheTrailNewestFirst) {
    TfrmAudit w(m_paths, m_dm, TFormats(QLocale::c()));
    w.show();
    EXPECT_EQ(shown(w), QStringList({"e4", "e3", "e2", "e1"})); // every day at first
    EXPECT_EQ(child<QDateEdit>(w, "edFrom")->date(), QDate(2026, 3, 1));
    auto* login = child<QComboBox>(w, "cbLogin");
    auto* action = child<QComboBox>(w, "cbAction");
    EXPECT_EQ(items(login), QStringList({"всички", "ivan", "o'neil"}));
    EXPECT_EQ(items(action).size(), 4);
    EXPECT_EQ(child<QPlainTextEdit>(w, "memDetails")->toPlainText(),
              "Преди: -\nСлед: e4\nПричина: -");

    struct Case {
        QDate from, to;
        QString login, action;
        QStringList expected;
    };
    const QDate d1(2026, 3, 1), d5(2026, 3, 5), d6(2026, 3, 6), d10(2026, 3, 10);
    const Case cases[] = {
        {d5, d5, "всички", "всички", {"e3", "e2"}}, // the last day is whole
        {d6, d10, "всички", "всички", {"e4"}},
        {d1, d10, "ivan", "всички", {"e4", "e3", "e1"}},
        {d1, d10, "o'neil", "всички", {"e2"}}, // a quote is a value, not statement text
        {d1, d10, "ivan", TTrace::kSeriesSaved, {"e4"}},
        {d6, d5, "всички", "всички", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.from.toString(Qt::ISODate) + " " + c.login + " " + c.action).toStdString());
        child<QDateEdit>(w, "edFrom")->setDate(c.from);
        child<QDateEdit>(w, "edTo")->setDate(c.to);
        login->setCurrentIndex(login->findText(c.login));
        action->setCurrentIndex(action->findText(c.action));
        child<QPushButton>(w, "Button1")->click();
        EXPECT_EQ(shown(w), c.expected);
    }
    EXPECT_TRUE(m_messages.errors.isEmpty()) << m_messages.errors.join("|").toStdString();
}

} // namespace
