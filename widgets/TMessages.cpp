#include "widgets/TMessages.h"

#include "core/Exception.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString appTitle() {
    return QApplication::applicationName();
}

// A box whose buttons carry the operator's language whatever translations
// the toolkit has.
class TBox : public QMessageBox {
public:
    TBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
        : QMessageBox(icon, caption, text, QMessageBox::NoButton, parent) {
        setTextFormat(Qt::PlainText);
    }
    QPushButton* yes() { return addButton(QStringLiteral("Да"), QMessageBox::YesRole); }
    QPushButton* no() { return addButton(QStringLiteral("Не"), QMessageBox::NoRole); }
    QPushButton* ok() { return addButton(QStringLiteral("OK"), QMessageBox::AcceptRole); }

    // Escape and the close button then answer no button at all.
    bool cancelOnEscape = false;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (cancelOnEscape && e->matches(QKeySequence::Cancel))
            reject();
        else
            QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (cancelOnEscape)
            QDialog::closeEvent(e); // rejects without taking "Не" for the answer
        else
            QMessageBox::closeEvent(e);
    }
};

void plain(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    TBox box(parent, icon, appTitle(), text);
    QPushButton* ok = box.ok();
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

// The real boxes; the base class answers keepQuestion through question() so
// that a replacement set needs to answer only the plain question.
class TMessageBoxes : public TMessages {
public:
    Answer keepQuestion(QWidget* parent, const QString& caption, const QString& text) override {
        TBox box(parent, QMessageBox::NoIcon, caption, text);
        QPushButton* yes = box.yes();
        QPushButton* no = box.no();
        box.setDefaultButton(yes);
        box.cancelOnEscape = true;
        box.exec();
        if (box.clickedButton() == yes)
            return Answer::Yes;
        if (box.clickedButton() == no)
            return Answer::No;
        return Answer::Cancel;
    }
};

TMessageBoxes g_boxes;
TMessages* g_current = &g_boxes;

} // namespace

void TMessages::error(QWidget* parent, const QString& text) {
    plain(parent, QMessageBox::Critical, text);
}

void TMessages::info(QWidget* parent, const QString& text) {
    plain(parent, QMessageBox::NoIcon, text);
}

bool TMessages::question(QWidget* parent, const QString& caption, const QString& text) {
    TBox box(parent, QMessageBox::NoIcon, caption, text);
    QPushButton* yes = box.yes();
    QPushButton* no = box.no();
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

std::optional<QString> TMessages::reason(QWidget* parent, const QString& caption,
                                         const QString& prompt) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgReason"));
    dialog.setWindowTitle(caption);
    auto* lay = new QVBoxLayout(&dialog);
    auto* label = new QLabel(prompt, &dialog);
    label->setWordWrap(true);
    lay->addWidget(label);
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("edReason"));
    edit->setMaxLength(kMaxReason);
    edit->setMinimumWidth(360);
    lay->addWidget(edit);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отказ"), QDialogButtonBox::RejectRole);
    ok->setEnabled(false);
    QObject::connect(edit, &QLineEdit::textChanged, ok,
                     [ok](const QString& t) { ok->setEnabled(!t.trimmed().isEmpty()); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, edit] {
        if (!edit->text().trimmed().isEmpty())
            dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    lay->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->text().trimmed();
}

TMessages::Answer TMessages::keepQuestion(QWidget* parent, const QString& caption,
                                          const QString& text) {
    return question(parent, caption, text) ? Answer::Yes : Answer::No;
}

void TMessages::showFailure(QWidget* parent, const std::exception& e) {
    current().error(parent, Exception::of(e).message());
}

TMessages& TMessages::current() {
    return *g_current;
}

TMessages* TMessages::install(TMessages* messages) {
    TMessages* previous = g_current;
    g_current = messages ? messages : &g_boxes;
    return previous;
}
