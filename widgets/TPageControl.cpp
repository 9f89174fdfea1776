#include "widgets/TPageControl.h"

#include <QKeyEvent>
#include <QTabBar>
#include <QWheelEvent>

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), m_none(new QWidget(this)) {
    m_none->setObjectName(QString());
    addTab(m_none, QString());
    setTabVisible(0, false);
    tabBar()->installEventFilter(this);
}

int TPageControl::addPage(QWidget* page, const QString& caption, bool tabVisible) {
    // Pages go before the blank one, so their indices follow the design. A
    // hidden tab carries no text: the tab bar still draws a sliver of the
    // current tab when it is a hidden one. The page keeps its caption.
    page->setWindowTitle(caption);
    page->setAccessibleName(caption);
    const int index = insertTab(count() - 1, page, tabVisible ? caption : QString());
    setTabVisible(index, tabVisible);
    if (currentWidget() == m_none && tabVisible)
        setCurrentIndex(index);
    return index;
}

QWidget* TPageControl::activePage() const {
    QWidget* w = currentWidget();
    return w == m_none ? nullptr : w;
}

void TPageControl::setActivePage(QWidget* page) {
    setCurrentWidget(page && isPage(page) ? page : m_none);
}

bool TPageControl::isPage(QWidget* w) const {
    return w && w != m_none && indexOf(w) >= 0;
}

bool TPageControl::isPageStepKey(const QKeyEvent* event) {
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    return (ctrl && (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageUp ||
                     key == Qt::Key_PageDown)) ||
           key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End;
}

// A wheel turned over the tabs (or a key that steps through them) would poll
// another machine, or none, and the next start would poll it too.
bool TPageControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabBar()) {
        if (event->type() == QEvent::Wheel)
            return true;
        if (event->type() == QEvent::KeyPress && isPageStepKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QTabWidget::eventFilter(watched, event);
}

void TPageControl::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & Qt::ControlModifier && isPageStepKey(event)) {
        event->accept();
        return;
    }
    QTabWidget::keyPressEvent(event);
}

void TPageControl::wheelEvent(QWheelEvent* event) {
    event->accept();
}
