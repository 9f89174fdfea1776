#pragma once

// The operator's hands on a real display: keys pressed on the control that
// has the focus (text in any alphabet), and modal boxes answered with a key
// or a click once they are up, from a timer that runs inside the box's own
// event loop.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// What the operator saw of a message box.
struct TBoxSeen {
    bool shown = false;
    QString caption;
    QString text;
    QStringList buttons;
    QString defaultButton;
    bool icon = false;
};

namespace Operator {

inline TBoxSeen describe(QMessageBox* box) {
    TBoxSeen seen;
    seen.shown = true;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    for (QAbstractButton* b : box->buttons())
        seen.buttons.append(b->text());
    if (box->defaultButton())
        seen.defaultButton = box->defaultButton()->text();
    seen.icon = box->icon() != QMessageBox::NoIcon;
    return seen;
}

// Waits (inside the running modal loop) for a modal widget other than
// `under` and hands it to `act`. Returns at once; `act` runs later.
inline void whenModal(std::function<void(QWidget*)> act, QWidget* under = nullptr,
                      int timeoutMs = 10000) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        QWidget* modal = QApplication::activeModalWidget();
        // A reason asked for a change has its own answer (answerReason).
        if (modal && modal != under && modal->isVisible() &&
            modal->objectName() != QLatin1String("dlgReason")) {
            QTest::qWait(50); // let the window manager give it the focus
            act(modal);
            return;
        }
        if (clock->elapsed() < timeoutMs)
            QTimer::singleShot(30, *poll);
    };
    QTimer::singleShot(30, *poll);
}

// The control with the focus, once the window manager has given a window
// the focus back (after a box closed, for instance).
inline QWidget* focused() {
    (void)QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 3000);
    return QApplication::focusWidget();
}

// A key pressed where the focus is; it goes up to the parents when the
// focused control does not take it, as on the desktop.
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = focused();
    if (target)
        QTest::keyClick(target, key, modifiers);
    QTest::qWait(30); // what a key posts runs before the next key, as on the desktop
}

// Text typed where the focus is, a key per character (Cyrillic included).
inline void typeText(const QString& text) {
    for (const QChar c : text) {
        QWidget* target = focused();
        if (!target)
            return;
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
        QTest::qWait(10);
    }
}

// The next message box is answered by a key; what it showed lands in `seen`.
inline void answerWithKey(TBoxSeen* seen, Qt::Key key, QWidget* under = nullptr,
                          int timeoutMs = 10000) {
    whenModal(
        [=](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                *seen = describe(box);
                QWidget* target = box->focusWidget() ? box->focusWidget() : box;
                QTest::keyClick(target, key);
            }
        },
        under, timeoutMs);
}

// The next message box is answered by a click on the button with this text.
inline void answerWithClick(TBoxSeen* seen, const QString& button, QWidget* under = nullptr) {
    whenModal(
        [=](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                *seen = describe(box);
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == button)
                        QTest::mouseClick(b, Qt::LeftButton);
            }
        },
        under);
}

// What the operator saw of the reason asked for a change.
struct TReasonSeen {
    bool shown = false;
    QString caption;
    bool enterOnEmptyKeptIt = false; // Enter with no reason typed did not close it
};

// The next reason dialog: Enter on the empty reason first, then `reason`
// typed and Enter, or Escape when `reason` is empty.
inline void answerReason(TReasonSeen* seen, const QString& reason, int timeoutMs = 10000) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != QLatin1String("dlgReason") || !w->isVisible()) {
            if (clock->elapsed() < timeoutMs)
                QTimer::singleShot(30, *poll);
            return;
        }
        QTest::qWait(50);
        seen->shown = true;
        seen->caption = w->windowTitle();
        QWidget* edit = w->findChild<QWidget*>(QStringLiteral("edReason"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(100);
        seen->enterOnEmptyKeptIt = w->isVisible();
        if (reason.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Escape);
            return;
        }
        for (const QChar c : reason)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    QTimer::singleShot(30, *poll);
}

} // namespace Operator
