#pragma once

#include "core/Exception.h"
#include "serial/ComPortMap.h"

#include <QByteArray>
#include <QString>

#include <optional>

#include <termios.h>

enum TLineMode { lmRS485 = 0, lmRS232 = 1 };

// The port is missing or held by another program.
class EOpenComm : public SerialError {
public:
    using SerialError::SerialError;
};

// The port's device is there, but this user may not open it (not in the
// group of the device, usually dialout).
class ENoPermission : public EOpenComm {
public:
    ENoPermission(QString text, QString device, QString group)
        : EOpenComm(std::move(text)), m_device(std::move(device)), m_group(std::move(group)) {}
    const QString& device() const { return m_device; }
    // The group that may open the device.
    const QString& group() const { return m_group; }

private:
    QString m_device;
    QString m_group;
};

// The port opened but refused its line settings.
class EInitComm : public SerialError {
public:
    using SerialError::SerialError;
};

// One serial port opened by number with fixed line settings; each exchange is
// one blocking write followed by one blocking read of at most 50 bytes.
// Used by one thread only.
class TComPort {
public:
    static constexpr int kMaxReply = 50;

    // Opens the port or throws EOpenComm / EInitComm; a failed construction
    // holds no device.
    TComPort(int PortNumber, int BaudRate, int ReadIntervalTimeout, int LineFunction1,
             int LineFunction2, int ReadTotalTimeout, int DelayBeforeWrite, int DelayAfterWrite,
             const ComPortMap& map);
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // The group to join when this user may not open the device (access
    // refused for lack of permission): the device's group when that group may
    // write to it, dialout otherwise. Nothing when the user may open it or
    // the device fails for another reason.
    static std::optional<QString> groupToJoin(const QString& device);

    // True when the exchange failed; Reply then holds the error text.
    bool Transact(const QByteArray& Command, TLineMode Mode, bool InvertRts);

    // True once the device is gone (an adapter pulled out, the far end of a
    // pseudo-terminal closed): every later exchange fails, and only a new
    // channel on the same COM name can talk again.
    bool Lost() const { return m_lost; }

    // The line settings the channel asked the driver for. A pseudo-terminal
    // takes the speed and the character size but drops the parity, so what
    // tcgetattr reports there is not all that was asked.
    const termios& RequestedSettings() const { return m_requested; }

    QString Reply;
    int DelayBeforeWrite = 0;
    int DelayAfterWrite = 0;

private:
    int OpenCommPort(int PortNumber, int BaudRate, int ReadIntervalTimeout, int LineFunction1,
                     int LineFunction2, int ReadTotalTimeout, const ComPortMap& map);
    bool TransactRS485(const QByteArray& Command, bool InvertRts);
    bool TransactRS232(const QByteArray& Command);

    qsizetype writeAll(const QByteArray& bytes);
    QByteArray readReply();
    void purgeInput();
    void setRts(bool on);
    void checkGone(int err);
    void checkNode();

    int m_fd = -1;
    bool m_lost = false;
    termios m_requested{};
    QString m_device;
    unsigned long m_rdev = 0;
    int m_intervalTimeout = 0;
    int m_totalTimeout = 0;
};
