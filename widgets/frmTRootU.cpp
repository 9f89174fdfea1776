#include "widgets/frmTRootU.h"

#include "core/Exception.h"
#include "core/LogFileU.h"
#include "widgets/TMessages.h"

#include <QShowEvent>

TfrmTRoot::TfrmTRoot(const AppPaths& paths, QWidget* parent)
    : QDialog(parent), FormStorage1(new TFormStorage(this)), m_paths(paths) {
    setModal(true);
    FormCreate();
}

TfrmTRoot::~TfrmTRoot() {
    // The controls are still there: they go with the QWidget part after this.
    if (!FormStorage1->Saved)
        FormStorage1->SaveFormPlacement(true);
}

void TfrmTRoot::FormCreate() {
    FormStorage1->IniFileName = m_paths.settings();
    connect(FormStorage1, &TFormStorage::failed, this,
            [this](const QString& text, const QString& cause) {
                TryWriteLog(Exception::join(text, cause), QStringLiteral("fileErr"), m_paths.log());
                TMessages::showFailure(this, SettingsError(text)); // the cause is in the log
            });
}

void TfrmTRoot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // coming back from minimized is no new showing
    FormStorage1->RestoreFormPlacement();
    FormShow();
}

// Every close of a dialog (its buttons, Esc, the window's close button) ends
// here: the window's own question first, then the save.
void TfrmTRoot::done(int result) {
    if (!FormCloseQuery())
        return;
    FormStorage1->SaveFormPlacement(false);
    QDialog::done(result);
}
