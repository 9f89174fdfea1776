#pragma once

#include "core/TextFormats.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "widgets/frmTRootU.h"

#include <QDate>

class QComboBox;
class QDateEdit;
class QPlainTextEdit;
class QPushButton;
class TDBGrid;
class TdmMain;

// The audit trail, newest first, narrowed by a span of days, a user and an
// action. It only reads: the trail is append-only.
class TfrmAudit : public TfrmTRoot {
    Q_OBJECT
public:
    TfrmAudit(const AppPaths& paths, TdmMain& dm, TFormats formats = TFormats(),
              QWidget* parent = nullptr);
    ~TfrmAudit() override;

    TIBTransaction trAudit; // the window's own reading, fresh on each "Покажи"
    TIBQuery qryAudit;

    // What "Покажи" reads: the days from and to, both whole; an empty login
    // or action is any.
    struct Filter {
        QDate from;
        QDate to;
        QString login;
        QString action;
    };
    Filter filter() const;
    void Button1Click();

    static const QString kAll; // the choice of any user or action
    static const QString kLogins;
    static const QString kActions;
    static const QString kSpan;
    static const QString kTrail;
    static const QString kByLogin;
    static const QString kByAction;
    static const QString kNewestFirst;

private:
    void FormCreate();
    QWidget* buildFilterBar();
    void readChoices();
    void readTrail();
    void showDetails();

    QDateEdit* edFrom;
    QDateEdit* edTo;
    QComboBox* cbLogin;
    QComboBox* cbAction;
    QPushButton* Button1;
    TDBGrid* DBGrid1;
    QPlainTextEdit* memDetails;

    TdmMain& m_dm;
    TFormats m_formats;
};
