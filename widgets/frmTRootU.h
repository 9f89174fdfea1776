#pragma once

#include "core/AppPaths.h"
#include "widgets/TFormStorage.h"

#include <QDialog>

// The base of the secondary windows: a modal window with its persisted-state
// component bound to the settings file beside the executable.
class TfrmTRoot : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTRoot(const AppPaths& paths, QWidget* parent = nullptr);
    ~TfrmTRoot() override;

    TFormStorage* FormStorage1;

protected:
    // The window's own handlers, run after the restore and before the save.
    virtual void FormShow() {}
    virtual bool FormCloseQuery() { return true; }

    void showEvent(QShowEvent* event) override;
    void done(int result) override;

    const AppPaths& paths() const { return m_paths; }

private:
    void FormCreate();
    AppPaths m_paths;
};
