#pragma once

#include "widgets/frmTRootU.h"

class QTableView;
class QToolButton;
class TObektTable;
class TdmMain;

// The objects register: the table OBEKT edited in place; the changes are kept
// or discarded together when the window closes.
class TfrmObekt : public TfrmTRoot {
    Q_OBJECT
public:
    TfrmObekt(const AppPaths& paths, TdmMain& dm, QWidget* parent = nullptr);
    ~TfrmObekt() override;

    TObektTable* OBEKT;

    void deleteWithConfirmation();

protected:
    bool FormCloseQuery() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void followTable(int row);
    // Puts the text of an open cell editor into its row and closes the editor.
    void commitEditor();
    void editNewRow(void (TObektTable::*start)());

    QWidget* DBNavigator1;
    QToolButton *nbFirst, *nbPrior, *nbNext, *nbLast, *nbInsert, *nbDelete, *nbEdit, *nbPost,
        *nbCancel, *nbRefresh;
    QTableView* DBGrid1;

    TdmMain& m_dm;
    bool m_following = false;
};
