#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How "COM<n>" names reach the devices of this machine.
//
//  1. A link or device node ports/COM<n> in the folder of the executable wins
//     (the simulator links its pseudo-terminal there; a laboratory can link
//     any adapter there, for instance a /dev/serial/by-id/... name).
//  2. Otherwise a fixed rule over the kernel's serial devices:
//       /dev/ttyS<k>   -> COM<k+1>     (COM1 is the first on-board port)
//       /dev/ttyUSB<k> -> COM<k+100>   (USB adapters)
//       /dev/ttyACM<k> -> COM<k+200>   (USB modem-class adapters)
//     The numbers follow the kernel's device numbers, so they stay the same
//     while the hardware does.
class ComPortMap {
public:
    explicit ComPortMap(QString portsDir);

    // The device to open for COM<number>; empty when the number has none.
    QString deviceFor(int number) const;

    // The COM name of a kernel device name such as "ttyUSB0", if the rule covers it.
    static std::optional<int> numberOfSystemDevice(const QString& deviceName);

    // COM names of the ports/ entries followed by those of the given kernel
    // device names (as a port lister reports them), without repeats.
    QStringList comNames(const QStringList& systemDeviceNames) const;

    const QString& portsDir() const { return m_portsDir; }

private:
    QString m_portsDir;
};
