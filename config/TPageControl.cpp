#include "TPageControl.h"

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), m_none(new QWidget(this)) {
    m_none->setObjectName(QString());
    addTab(m_none, QString());
    setTabVisible(0, false);
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
