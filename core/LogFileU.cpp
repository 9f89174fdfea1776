#include "core/LogFileU.h"

#include "core/Exception.h"
#include "core/Win1251.h"

#include <QFile>
#include <QFileInfo>

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

void writeLine(const QString& fileName, QIODevice::OpenMode mode, const QString& line) {
    QFile f(fileName);
    const QByteArray bytes = Win1251::encode(line) + "\r\n";
    if (!f.open(mode) || f.write(bytes) != bytes.size() || !f.flush()) {
        throw SettingsError(QStringLiteral("Unable to write to %1").arg(fileName));
    }
    f.close();
    if (f.error() != QFileDevice::NoError)
        throw SettingsError(QStringLiteral("Unable to write to %1").arg(fileName));
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
    writeLine(FileName, QIODevice::WriteOnly | QIODevice::Truncate,
              formats.dateTimeText(now) + kArrow + LogText(Text));
}

void WriteLog(const QString& Message, const QString& Tag, const QString& FileName,
              const QDateTime& now, const TFormats& formats) {
    const QString line =
        formats.dateTimeText(now) + kArrow + LogText(Tag) + kArrow + LogText(Message);
    if (!QFileInfo::exists(FileName))
        NewLog(FileName, QStringLiteral("NEW LOG"), now, formats);
    // Append only: a log that exists is never emptied to make room for a line.
    writeLine(FileName, QIODevice::WriteOnly | QIODevice::Append, line);
}
