#include "app/TfrmComPort.h"

#include "acquisition/TAcqStatus.h"
#include "core/Exception.h"
#include "serial/ComPortU.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <cerrno>

#include <dirent.h>

TfrmComPort::TfrmComPort(const AppPaths& paths, const ComPortMap& map,
                         const QStringList& systemPorts, QWidget* parent, const QString& portInUse)
    : TfrmTRoot(paths, parent), m_map(map) {
    // A dialog's size, centred on the main window, whatever window saved last.
    FormStorage1->KeepPlacement = false;
    const QStringList names = portNames(map, systemPorts);
    setObjectName(QStringLiteral("frmComPort"));
    setWindowTitle(QStringLiteral("(COM) порт"));

    Label1 = new QLabel(QStringLiteral("(COM) Порт :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComComboBox1 = new QComboBox(this);
    ComComboBox1->setObjectName(QStringLiteral("ComComboBox1"));
    ComComboBox1->setEditable(false);
    ComComboBox1->setAccessibleName(QStringLiteral("(COM) Порт :"));
    ComComboBox1->addItems(names);
    const int inUse = names.indexOf(QStringLiteral("COM") + portInUse.trimmed());
    ComComboBox1->setCurrentIndex(names.isEmpty() ? -1 : std::max(0, inUse));
    Label1->setBuddy(ComComboBox1);

    BitBtn1 = new QPushButton(QStringLiteral("Да"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    // With no port listed there is nothing to confirm.
    BitBtn1->setEnabled(!names.isEmpty());
    BitBtn2 = new QPushButton(QStringLiteral("Отказ"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    auto* row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(ComComboBox1, 1);
    // Said before the choice, not after a failed start: the port is listed
    // but this user may not open its device.
    lblAccess = new QLabel(this);
    lblAccess->setObjectName(QStringLiteral("lblAccess"));
    lblAccess->setWordWrap(true);
    lblAccess->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblAccess->setStyleSheet(QStringLiteral("QLabel { color: #c00000; }"));
    lblAccess->setFixedWidth(360);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(row);
    lay->addWidget(lblAccess);
    lay->addLayout(buttons);
    setMinimumWidth(300);
    setSizeGripEnabled(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ComComboBox1, &QComboBox::currentIndexChanged, this, &TfrmComPort::showAccess);
    showAccess();
}

QStringList TfrmComPort::portNames(const ComPortMap& map, const QStringList& systemPorts) {
    // A ports/ folder that exists but cannot be read is a list that cannot be read.
    if (QDir(map.portsDir()).exists()) {
        DIR* d = ::opendir(QFile::encodeName(map.portsDir()).constData());
        if (!d)
            throw Exception(QStringLiteral("Registry error (system error code: %1)").arg(errno));
        ::closedir(d);
    }
    QStringList names = map.comNames(systemPorts);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QStringList TfrmComPort::systemSerialPorts() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& p : ports)
        names.append(p.portName());
    return names;
}

std::optional<QString> TfrmComPort::chosenPort() const {
    if (ComComboBox1->currentIndex() < 0)
        return std::nullopt;
    return ComComboBox1->currentText();
}

QString TfrmComPort::accessAdvice() const {
    const auto port = chosenPort();
    bool isNumber = false;
    const int number = port ? port->mid(3).toInt(&isNumber) : 0;
    if (!isNumber)
        return {};
    const QString device = m_map.deviceFor(number);
    const auto group = device.isEmpty() ? std::nullopt : TComPort::groupToJoin(device);
    if (!group)
        return {};
    const QString real = QFileInfo(device).canonicalFilePath();
    return QStringLiteral("Нямате право на достъп до %1 (%2). %3")
        .arg(*port, real.isEmpty() ? device : real, TAcqStatus::joinGroupAdvice(*group));
}

void TfrmComPort::showAccess() {
    const QString advice = accessAdvice();
    lblAccess->setText(advice);
    lblAccess->setVisible(!advice.isEmpty());
}
