#pragma once

#include "ComPortMap.h"
#include "Exception.h"

#include <QByteArray>
#include <QString>

enum TLineMode { lmRS485 = 0, lmRS232 = 1 };

class EOpenComm : public Exception {
public:
    using Exception::Exception;
};

class EInitComm : public Exception {
public:
    using Exception::Exception;
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

    // True when the exchange failed; Reply then holds the error text.
    bool Transact(const QByteArray& Command, TLineMode Mode, bool InvertRts);

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

    int m_fd = -1;
    int m_intervalTimeout = 0;
    int m_totalTimeout = 0;
};
