#include "core/LogFileU.h"

#include "core/Exception.h"
#include "core/Win1251.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kArrow = QStringLiteral(" -> ");

bool isLineBreakAt(const QString& s, qsizetype i, qsizetype* length) {
    if (s.at(i) == QLatin1Char('\n')) {
        *length = 1;
        return true;
    }
    if (s.at(i) == QLatin1Char('\r') && i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n')) {
        *length = 2;
        return true;
    }
    return false;
}

bool isControl(char16_t c) {
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f);
}

// One line at the end of the file, or nothing: a write that fails part-way
// (a full disk) is cut back, so the lines already there stay whole and the
// next line starts on a line of its own.
void writeLine(const QString& fileName, int flags, const QString& line) {
    const QByteArray bytes = Win1251::encode(line) + "\r\n";
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CLOEXEC | flags, 0666);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        struct stat st {};
        const off_t before = ::fstat(fd, &st) == 0 ? st.st_size : -1;
        const char* p = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0 && err == 0) {
            const ssize_t n = ::write(fd, p, size_t(left));
            if (n > 0) {
                p += n;
                left -= n;
            } else if (n == 0 || errno != EINTR) {
                err = n == 0 ? ENOSPC : errno;
            }
        }
        if (err == 0 && ::fdatasync(fd) != 0)
            err = errno;
        if (err != 0 && before >= 0)
            (void)::ftruncate(fd, before);
        // A new log that could not take its first line is no log at all.
        if (err != 0 && (flags & O_TRUNC))
            ::unlink(QFile::encodeName(fileName).constData());
        if (::close(fd) != 0 && err == 0)
            err = errno;
    }
    if (err != 0)
        throw SettingsError(QStringLiteral("Unable to write to %1").arg(fileName),
                            QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

QString LogText(const QString& text) {
    // Line breaks at the end would leave empty lines in the log.
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char('\n'))
        end -= (end >= 2 && text.at(end - 2) == QLatin1Char('\r')) ? 2 : 1;
    QString out;
    out.reserve(end);
    qsizetype breakLength = 0;
    for (qsizetype i = 0; i < end; ++i) {
        if (isLineBreakAt(text, i, &breakLength)) {
            out += QStringLiteral("\r\n");
            i += breakLength - 1;
        } else if (const char16_t c = text.at(i).unicode(); isControl(c)) {
            out += QStringLiteral("\\x") +
                   QString::number(int(c), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        } else {
            out += text.at(i);
        }
    }
    return out;
}

void NewLog(const QString& FileName, const QString& Text, const QDateTime& now,
            const TFormats& formats) {
    writeLine(FileName, O_CREAT | O_TRUNC,
              formats.dateTimeText(now) + kArrow + LogText(Text));
}

void WriteLog(const QString& Message, const QString& Tag, const QString& FileName,
              const QDateTime& now, const TFormats& formats) {
    const QString line =
        formats.dateTimeText(now) + kArrow + LogText(Tag) + kArrow + LogText(Message);
    if (!QFileInfo::exists(FileName))
        NewLog(FileName, QStringLiteral("NEW LOG"), now, formats);
    // Append only: a log that exists is never emptied to make room for a line.
    writeLine(FileName, O_APPEND, line);
}

bool TryWriteLog(const QString& Message, const QString& Tag, const QString& FileName) {
    try {
        WriteLog(Message, Tag, FileName);
        return true;
    } catch (const Exception&) {
        return false;
    }
}
