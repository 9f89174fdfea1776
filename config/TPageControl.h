#pragma once

#include <QTabWidget>

// A page control that can have no active page: a blank page without a tab
// stands for "none", as a stored page name that matches no page asks for.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    // Adds a page whose tab is shown or hidden.
    int addPage(QWidget* page, const QString& caption, bool tabVisible);

    QWidget* activePage() const;       // nullptr when none
    void setActivePage(QWidget* page); // nullptr: none
    bool isPage(QWidget* w) const;

private:
    QWidget* m_none;
};
