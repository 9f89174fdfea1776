#include "LogFileU.h"

#include "Exception.h"
#include "Win1251.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kArrow = QStringLiteral(" -> ");

void writeLine(const QString& fileName, QIODevice::OpenMode mode, const QString& line) {
    QFile f(fileName);
    const QByteArray bytes = Win1251::encode(line) + "\r\n";
    if (!f.open(mode) || f.write(bytes) != bytes.size() || !f.flush()) {
        throw Exception(QStringLiteral("Unable to write to %1").arg(fileName));
    }
    f.close();
    if (f.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Unable to write to %1").arg(fileName));
}

} // namespace

void NewLog(const QString& FileName, const QString& Text, const QDateTime& now,
            const TFormats& formats) {
    writeLine(FileName, QIODevice::WriteOnly | QIODevice::Truncate,
              formats.dateTimeText(now) + kArrow + Text);
}

void WriteLog(const QString& Message, const QString& Tag, const QString& FileName,
              const QDateTime& now, const TFormats& formats) {
    const QString line = formats.dateTimeText(now) + kArrow + Tag + kArrow + Message;
    if (!QFileInfo::exists(FileName))
        NewLog(FileName, QStringLiteral("NEW LOG"), now, formats);
    // Append only: a log that exists is never emptied to make room for a line.
    writeLine(FileName, QIODevice::WriteOnly | QIODevice::Append, line);
}
