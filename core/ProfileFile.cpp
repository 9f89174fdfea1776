#include "core/ProfileFile.h"

#include "core/TFileReplace.h"
#include "core/Win1251.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray kCrLf("\r\n");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& b) {
    qsizetype from = 0, to = b.size();
    while (from < to && isBlank(b.at(from)))
        ++from;
    while (to > from && (isBlank(b.at(to - 1)) || b.at(to - 1) == '\r'))
        --to;
    return b.mid(from, to - from);
}

} // namespace

TProfileFile::TProfileFile(QString path) : m_path(std::move(path)) {
    load();
}

void TProfileFile::load() {
    m_lines.clear();
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    loadBytes(f.readAll());
}

void TProfileFile::loadBytes(const QByteArray& all) {
    m_lines.clear();
    qsizetype pos = 0;
    while (pos < all.size()) {
        const qsizetype nl = all.indexOf('\n', pos);
        if (nl < 0) {
            m_lines.append({all.mid(pos), {}});
            break;
        }
        const bool cr = nl > pos && all.at(nl - 1) == '\r';
        m_lines.append({all.mid(pos, nl - pos - (cr ? 1 : 0)), cr ? kCrLf : QByteArray("\n")});
        pos = nl + 1;
    }
}

std::optional<QString> TProfileFile::sectionName(const QByteArray& line) {
    const QByteArray t = trimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return Win1251::decode(trimBlanks(t.mid(1, close - 1)));
}

std::optional<std::pair<QString, QString>> TProfileFile::keyValue(const QByteArray& line) {
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    const QByteArray key = trimBlanks(line.left(eq));
    if (key.isEmpty() || key.startsWith('['))
        return std::nullopt;
    return std::make_pair(Win1251::decode(key), Win1251::decode(trimBlanks(line.mid(eq + 1))));
}

int TProfileFile::findSection(const QString& section) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i].text);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int TProfileFile::findKey(int sectionLine, const QString& key) const {
    for (int i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (sectionName(m_lines[i].text))
            return -1;
        const auto kv = keyValue(m_lines[i].text);
        if (kv && kv->first.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> TProfileFile::value(const QString& section, const QString& key) const {
    const int s = findSection(section);
    if (s < 0)
        return std::nullopt;
    const int k = findKey(s, key);
    if (k < 0)
        return std::nullopt;
    return unquoted(keyValue(m_lines[k].text)->second).left(kMaxValue);
}

namespace {

bool inQuotes(const QString& v) {
    return v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
           v.back() == v.front();
}

} // namespace

QString TProfileFile::unquoted(const QString& value) {
    return inQuotes(value) ? value.mid(1, value.size() - 2) : value;
}

QString TProfileFile::quotedForWriting(const QString& value) {
    return inQuotes(value) ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

QString TProfileFile::readString(const QString& section, const QString& key,
                                 const QString& def) const {
    return value(section, key).value_or(def);
}

bool TProfileFile::writeString(const QString& section, const QString& key, const QString& value) {
    return writeStrings(section, {{key, value}});
}

bool TProfileFile::writeStrings(const QString& section,
                                const QList<std::pair<QString, QString>>& values) {
    load(); // someone may have edited the file since it was read
    const QList<Line> before = m_lines;
    for (const auto& [key, value] : values)
        put(section, key, value);
    if (!save(m_lines)) {
        m_lines = before;
        return false;
    }
    return true;
}

void TProfileFile::put(const QString& section, const QString& key, const QString& value) {
    QList<Line>& lines = m_lines;
    const QByteArray newLine = Win1251::encode(key) + '=' + Win1251::encode(value);
    const int s = findSection(section);
    if (s < 0) {
        if (!lines.isEmpty()) {
            if (lines.last().end.isEmpty())
                lines.last().end = kCrLf;
            if (!trimBlanks(lines.last().text).isEmpty())
                lines.append({QByteArray(), kCrLf});
        }
        lines.append({'[' + Win1251::encode(section) + ']', kCrLf});
        lines.append({newLine, kCrLf});
    } else if (const int k = findKey(s, key); k >= 0) {
        // Keep the key as it was spelled; only the value changes.
        const QByteArray& old = lines[k].text;
        lines[k].text = old.left(old.indexOf('=') + 1) + Win1251::encode(value);
    } else {
        // After the last non-blank line of the section.
        int last = s;
        for (int i = s + 1; i < lines.size() && !sectionName(lines[i].text); ++i) {
            if (!trimBlanks(lines[i].text).isEmpty())
                last = i;
        }
        if (lines[last].end.isEmpty())
            lines[last].end = kCrLf;
        lines.insert(last + 1, {newLine, kCrLf});
    }
}

std::optional<QString> TProfileFile::unreadableReason(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral("текст в UTF-16 вместо Windows-1251");
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        // Tab, line ends and the old end-of-file mark are all a text file holds.
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n' && b != 0x1A) {
            // Latin text in UTF-16 has every other byte 0.
            const bool utf16 = b == 0 && bytes.size() >= 4 && bytes.count('\0') * 3 >= bytes.size();
            return utf16 ? QStringLiteral("текст в UTF-16 вместо Windows-1251")
                         : QStringLiteral("двоични данни (байт 0x%1 на позиция %2)")
                               .arg(QString::number(b, 16).toUpper().rightJustified(2, u'0'))
                               .arg(i);
        }
    }
    return std::nullopt;
}

std::optional<QString> TProfileFile::unwritableReason() const {
    // The permission bits decide, also for a user who could write anyway (root).
    const QFileInfo info(m_path);
    constexpr auto kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && !(info.permissions() & kWrite))
        return QStringLiteral("файлът е само за четене");
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir() || !(folder.permissions() & kWrite) || !folder.isWritable())
        return QStringLiteral("в папката %1 не може да се записва").arg(folder.absoluteFilePath());
    return std::nullopt;
}

bool TProfileFile::save(const QList<Line>& lines) const {
    // A read-only settings file stays as it is, even for a user who could
    // write it anyway (root).
    const QFileInfo info(m_path);
    constexpr auto kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && !(info.permissions() & kWrite)) {
        m_error = QStringLiteral("файлът е само за четене");
        return false;
    }
    QByteArray bytes;
    for (const Line& l : lines)
        bytes += l.text + l.end;
    // The old file stays whole until the new one is completely on the disk:
    // a full disk must never leave the press's constants in an empty file.
    const auto failure = TFileReplace::write(m_path, bytes);
    m_error = failure.value_or(QString());
    return !failure;
}
