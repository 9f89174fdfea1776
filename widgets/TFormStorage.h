#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <utility>

class QWidget;
class T_IniFile;

// A window's persisted state in the settings file: placement (position, size,
// show state) and the values of the listed controls, in section "frmStorage".
// The window restores it when shown and saves it on an accepted close, or at
// destruction when it was not saved since the last restore.
class TFormStorage : public QObject {
    Q_OBJECT
public:
    explicit TFormStorage(QWidget* window);

    QString IniFileName; // the settings file
    QString IniSection = QStringLiteral("frmStorage");
    QStringList StoredProps; // "Component.Property", in order
    int Version = 0;
    // False for a window that opens at its own size where the toolkit puts it
    // (a small dialog centred on its owner): its placement is neither taken
    // from the file nor written to it, so it does not give its size to the
    // next window either.
    bool KeepPlacement = true;

    bool Restored = false;
    bool Saved = false;

    // Placement first (a failure is reported and stops the restore), then the
    // listed properties (a failure leaves that one property as it was).
    void RestoreFormPlacement();
    // Stops at the first write that fails, reporting "Unable to write to <file>".
    // Does nothing for a window that was never restored.
    void SaveFormPlacement(bool destroying);

    // The placement values as written (exposed for tests).
    struct Placement {
        int flags = 0;
        int showCmd = 1;
        int pixelsPerInch = 96;
        QString minMaxPos;
        QString normPos;
    };
    Placement currentPlacement() const;
    static QString screenSuffix();

    // How long after a restore the window counts as settling.
    static constexpr int kSettleMs = 2000;

signals:
    // A restore or save that failed, for the window to show: the operator's
    // text and the cause below it.
    void failed(const QString& text, const QString& cause);

private:
    enum class Kind { Text, Integer, Page };
    struct Prop {
        QObject* component;
        QString key; // Component_Property
        Kind kind;
        QString property;
    };
    QList<Prop> resolvedProps() const;
    QString readValue(const Prop& p) const;
    void writeValue(const Prop& p, const QString& text);
    void restorePlacement(T_IniFile& ini);
    void restoreProperty(T_IniFile& ini, const Prop& p);
    void settleFrame();
    void setSplitSize(QWidget* w, int size);
    void settleSplitters();
    void startSettling();
    void endSettling();
    QRect normalFrame() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The normal rectangle, frame included, moved onto the primary screen when
    // no screen would show enough of it to take hold of it.
    static QRect onSomeScreen(const QRect& frame);
    QRect grownToLeastSize(QRect frame) const;

    QWidget* m_window;
    QRect m_targetFrame; // the rectangle the settling window is brought to, frame included
    QRect m_normalFrame; // the last normal rectangle, frame included
    QTimer m_settling;
    QTimer m_settleTick;
    // Restored sizes of controls inside splitters: set again whenever the
    // window's size changes while it settles (the frame arriving, maximizing),
    // since a splitter shares every resize among its parts.
    QList<std::pair<QWidget*, int>> m_splitSizes;
};
