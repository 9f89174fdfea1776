#pragma once

#include "serial/ComPortMap.h"
#include "widgets/frmTRootU.h"

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

// The dialog in which the operator picks the serial port that acquisition uses.
// It only lists the ports and reports confirm or cancel.
class TfrmComPort : public TfrmTRoot {
    Q_OBJECT
public:
    // Throws Exception ("Registry error ...") when the ports cannot be listed.
    // The entry of the port in use (COM + portInUse) is selected, so that Enter
    // keeps the port; the first entry when it is not listed.
    TfrmComPort(const AppPaths& paths, const ComPortMap& map, const QStringList& systemPorts,
                QWidget* parent = nullptr, const QString& portInUse = QString());

    // The COM names of the ports/ links and the system's devices, sorted as
    // text without regard to case (COM10 before COM2).
    static QStringList portNames(const ComPortMap& map, const QStringList& systemPorts);
    // The names of the machine's serial devices, as the system reports them.
    static QStringList systemSerialPorts();

    // The entry chosen in the list; nothing when the list is empty.
    std::optional<QString> chosenPort() const;

    // What to do when this user may not open the chosen port's device; empty
    // when it may (or when nothing is chosen).
    QString accessAdvice() const;

private:
    void showAccess();

    ComPortMap m_map;
    QLabel* Label1;
    QLabel* lblAccess;
    QComboBox* ComComboBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
