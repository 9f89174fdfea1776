#include "serial/ComPortU.h"

#include "core/Win1251.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void sleepMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

QString systemErrorText(int err) {
    if (err == 0)
        return QStringLiteral("A call to an OS function failed");
    return QStringLiteral("System Error.  Code: %1.\r\n%2")
        .arg(err)
        .arg(QString::fromLocal8Bit(std::strerror(err)));
}

bool baudConstant(int baud, speed_t& out) {
    static const struct {
        int rate;
        speed_t constant;
    } kRates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& r : kRates) {
        if (r.rate == baud) {
            out = r.constant;
            return true;
        }
    }
    return false;
}

bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143; // the kernel's Unix98 pseudo-terminal slaves
}

} // namespace

TComPort::TComPort(int PortNumber, int BaudRate, int ReadIntervalTimeout, int LineFunction1,
                   int LineFunction2, int ReadTotalTimeout, int DelayBeforeWrite_,
                   int DelayAfterWrite_, const ComPortMap& map)
    : DelayBeforeWrite(DelayBeforeWrite_), DelayAfterWrite(DelayAfterWrite_) {
    m_fd = OpenCommPort(PortNumber, BaudRate, ReadIntervalTimeout, LineFunction1, LineFunction2,
                        ReadTotalTimeout, map);
}

TComPort::~TComPort() {
    if (m_fd >= 0) {
        // The exclusive flag belongs to the device, not to this descriptor: it
        // would outlive the close while anyone else holds the device open.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
}

std::optional<QString> TComPort::groupToJoin(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    if (::access(path.constData(), R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM))
        return std::nullopt;
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 && (st.st_mode & S_IWGRP) && st.st_gid != 0) {
        if (const group* g = ::getgrgid(st.st_gid))
            return QString::fromLocal8Bit(g->gr_name);
    }
    return QStringLiteral("dialout");
}

int TComPort::OpenCommPort(int PortNumber, int BaudRate, int ReadIntervalTimeout, int LineFunction1,
                           int LineFunction2, int ReadTotalTimeout, const ComPortMap& map) {
    const QString device = map.deviceFor(PortNumber);
    const auto notAccessible = [&] {
        return EOpenComm(QStringLiteral("COM%1 Is not Accessible").arg(PortNumber));
    };
    if (device.isEmpty())
        throw notAccessible();

    // Non-blocking only for the open itself, so that a missing carrier cannot hang it.
    const int fd =
        ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // The device itself, not the ports/ link or by-id name that leads to it.
        const QString real = QFileInfo(device).canonicalFilePath();
        if (const auto group = groupToJoin(device))
            throw ENoPermission(notAccessible().text(), real.isEmpty() ? device : real, *group);
        throw notAccessible();
    }
    // Exclusive use: TIOCEXCL keeps other openers out (root excepted), the
    // advisory lock keeps out a second instance of this program even as root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw notAccessible();
    }
    ::ioctl(fd, TIOCEXCL);
    m_device = device;
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        m_rdev = st.st_rdev;

    const auto fail = [&](int err) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return EInitComm(QStringLiteral("COM%1 Can't Initialise.\r\n%2")
                             .arg(PortNumber)
                             .arg(systemErrorText(err)));
    };

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        throw fail(errno);
    speed_t speed = 0;
    if (!baudConstant(BaudRate, speed))
        throw fail(EINVAL);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | PARENB | CREAD | CLOCAL; // 8 data bits, even parity, 1 stop bit
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR | PARMRK | ISTRIP);
    tio.c_iflag |= INPCK; // parity checking on
    // Reads never block in the driver: the time-outs are kept with poll().
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0)
        throw fail(errno);
    m_requested = tio;
    // A pseudo-terminal has no parity to set, and the C library reports that
    // as a refusal; the simulator's line goes on without it.
    if (::tcsetattr(fd, TCSANOW, &tio) != 0 && !isPseudoTerminal(fd))
        throw fail(errno);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw fail(errno);

    // DTR and RTS start inactive. A pseudo-terminal refuses the modem-control
    // ioctls; the channel goes on without them.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);

    m_intervalTimeout = ReadIntervalTimeout;
    m_totalTimeout = ReadTotalTimeout;

    // The two extended line functions are no-ops on this platform: the escape
    // function the thread names would act as a received XOFF and hold back
    // transmission, and nothing relies on its effect.
    (void)LineFunction1;
    (void)LineFunction2;
    return fd;
}

bool TComPort::Transact(const QByteArray& Command, TLineMode Mode, bool InvertRts) {
    if (Mode == lmRS232)
        return TransactRS232(Command);
    return TransactRS485(Command, InvertRts);
}

bool TComPort::TransactRS485(const QByteArray& Command, bool InvertRts) {
    // Whatever waits in the input buffer is stale (noise, the rest of a long
    // reply): left there it would be taken for the answer to this command.
    purgeInput();
    setRts(!InvertRts);
    sleepMs(DelayBeforeWrite);
    const qsizetype written = writeAll(Command);
    sleepMs(DelayAfterWrite);
    setRts(InvertRts);
    if (written != Command.size()) {
        Reply = QStringLiteral("Eror Count");
        return true;
    }
    const QByteArray bytes = readReply();
    if (bytes.isEmpty()) {
        checkNode();
        Reply = QStringLiteral("not answer");
        return true;
    }
    Reply = Win1251::decode(bytes);
    return false;
}

bool TComPort::TransactRS232(const QByteArray& Command) {
    const qsizetype written = Command.isEmpty() ? 0 : writeAll(Command);
    if (written != Command.size()) {
        Reply.clear();
        return true;
    }
    const QByteArray bytes = readReply();
    purgeInput();
    if (bytes.isEmpty()) {
        Reply = QStringLiteral("not answer");
        return true;
    }
    Reply = Win1251::decode(bytes);
    return false;
}

qsizetype TComPort::writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            checkGone(errno);
            return -1;
        }
        done += n;
    }
    // write() returns once the bytes are queued; the transmitter must stay
    // enabled until the last one has left the line.
    while (::tcdrain(m_fd) != 0 && errno == EINTR) {
    }
    return done;
}

// Windows read semantics: returns at kMaxReply bytes, when more than the
// interval time-out passes between two bytes after the first, or when the
// total time-out passes since the read began. A failed read counts as zero
// bytes, and it still takes its time, so that a vanished device does not turn
// the polling loop into a busy loop.
QByteArray TComPort::readReply() {
    using std::chrono::milliseconds;
    const auto start = Clock::now();
    const auto totalDeadline = start + milliseconds(m_totalTimeout);
    const bool hasTotal = m_totalTimeout > 0;
    const bool hasInterval = m_intervalTimeout > 0;
    Clock::time_point lastByte{};
    QByteArray buf;
    char chunk[kMaxReply];

    const auto failed = [&] {
        if (hasTotal)
            std::this_thread::sleep_until(totalDeadline);
        return QByteArray();
    };

    while (buf.size() < kMaxReply) {
        auto deadline = Clock::time_point::max();
        if (hasTotal)
            deadline = totalDeadline;
        if (hasInterval && !buf.isEmpty())
            deadline = std::min(deadline, lastByte + milliseconds(m_intervalTimeout));
        int waitMs = -1;
        if (deadline != Clock::time_point::max()) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                break;
            waitMs = static_cast<int>(std::chrono::ceil<milliseconds>(left).count());
        }
        pollfd p{m_fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, waitMs);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return failed();
        }
        if (rc == 0)
            continue;
        if (!(p.revents & POLLIN)) {
            // Hung up or in error without data: the device is gone.
            m_lost = m_lost || (p.revents & (POLLHUP | POLLERR | POLLNVAL));
            return failed();
        }
        const ssize_t n = ::read(m_fd, chunk, kMaxReply - buf.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            checkGone(errno);
            return failed();
        }
        if (n == 0) {
            m_lost = true; // readable but empty: the other end is gone
            return failed();
        }
        buf.append(chunk, n);
        lastByte = Clock::now();
    }
    return buf;
}

// The errors with which the kernel reports a device that is no longer there.
void TComPort::checkGone(int err) {
    if (err == EIO || err == ENXIO || err == ENODEV || err == EBADF)
        m_lost = true;
}

// A silent line may also be a device node that went away (or now names
// another device) while the descriptor still looks usable.
void TComPort::checkNode() {
    struct stat st {};
    if (::stat(m_device.toLocal8Bit().constData(), &st) != 0 || st.st_rdev != m_rdev)
        m_lost = true;
}

void TComPort::purgeInput() {
    ::tcflush(m_fd, TCIFLUSH);
}

void TComPort::setRts(bool on) {
    int rts = TIOCM_RTS;
    // Refused by a pseudo-terminal; the exchange goes on.
    ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &rts);
}
