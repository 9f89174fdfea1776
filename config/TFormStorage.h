#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

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

    QWidget* m_window;
    QRect m_targetFrame; // the restored normal rectangle, frame included
};
