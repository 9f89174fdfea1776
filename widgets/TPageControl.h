#pragma once

#include <QTabWidget>

// A page control that can have no active page: a blank page without a tab
// stands for "none", as a stored page name that matches no page asks for.
// The active page chooses the machine that is polled, so it changes only by a
// deliberate choice: a click on a tab or the program itself, never the mouse
// wheel over the tabs nor Ctrl+Tab.
class TPageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);

    // Adds a page whose tab is shown or hidden.
    int addPage(QWidget* page, const QString& caption, bool tabVisible);

    QWidget* activePage() const;       // nullptr when none
    void setActivePage(QWidget* page); // nullptr: none
    bool isPage(QWidget* w) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    static bool isPageStepKey(const QKeyEvent* event);

    QWidget* m_none;
};
