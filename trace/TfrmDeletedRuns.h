#pragma once

#include "core/TextFormats.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"
#include "widgets/frmTRootU.h"

#include <functional>
#include <optional>

class QPushButton;
class TDBGrid;
class TdmMain;

// The runs deleted in the grouping window, kept whole until they are purged:
// one of them is restored with its samples and its series, or those deleted
// long enough ago are erased for good. Both are written to the audit trail.
class TfrmDeletedRuns : public TfrmTRoot {
    Q_OBJECT
public:
    TfrmDeletedRuns(const AppPaths& paths, TdmMain& dm, TFormats formats = TFormats(),
                    QWidget* parent = nullptr);
    ~TfrmDeletedRuns() override;

    TIBTransaction trBin; // the list's own reading, fresh on each reload
    TIBQuery qryBin;

    void btnRestoreClick();
    void btnPurgeClick();
    void ReloadList();

    // How many days ago a run must have been deleted to be purged; nothing
    // when the operator gives up. By default the age dialog asks it.
    std::function<std::optional<int>(QWidget* parent)> askAge = &TfrmDeletedRuns::ageDialog;
    static std::optional<int> ageDialog(QWidget* parent);
    static constexpr int kDefaultAgeDays = 365;

    static const QString kList;
    static const QString kCountOlder;

private:
    void FormCreate();
    void reloadOrSay();
    void followRows();

    QPushButton* btnRestore;
    QPushButton* btnPurge;
    TDBGrid* DBGrid1;

    TdmMain& m_dm;
    TFormats m_formats;
};
