#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// Private-profile (INI) file access with the rules the laboratory's files
// were written under: section and key names match without regard to case,
// blanks around a value are dropped, one pair of matching quotes is removed,
// at most 2047 characters of a value are read. A write replaces the value
// where it stands or adds the key at the end of its section, creating the
// section and the file. The file is Windows-1251 text; every line the write
// does not touch keeps its bytes and its line end, and the new file replaces
// the old one only once it is completely written.
class TProfileFile {
public:
    static constexpr int kMaxValue = 2047;

    explicit TProfileFile(QString path);

    // Reads the file afresh; a missing or unreadable file reads as empty.
    void load();
    // Takes the file's bytes as given (the parser alone, without the disk).
    void loadBytes(const QByteArray& all);

    // Why these bytes are no profile file in Windows-1251 (UTF-16 text, NUL
    // bytes or other binary data), in Bulgarian; std::nullopt when they are one.
    static std::optional<QString> unreadableReason(const QByteArray& bytes);
    // Why the file could not be written (read-only file or folder), in
    // Bulgarian; std::nullopt when a write can succeed.
    std::optional<QString> unwritableReason() const;

    // The value, or std::nullopt when the key is not there.
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;

    // Writes one key to the file at once. False when the file cannot be written.
    bool writeString(const QString& section, const QString& key, const QString& value);
    // Several keys of one section in one rewrite of the file: all or none.
    bool writeStrings(const QString& section, const QList<std::pair<QString, QString>>& values);

    const QString& path() const { return m_path; }
    // Why the last write failed, in the system's words; empty after a success.
    const QString& lastError() const { return m_error; }

    // A value read from the file that begins and ends with the same quote
    // (double or single) stands without that pair; writing gives such a value
    // one more pair of double quotes, so that reading it gives it back whole.
    static QString unquoted(const QString& value);
    static QString quotedForWriting(const QString& value);

private:
    struct Line {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n" or empty for a last line without one
    };
    int findSection(const QString& section) const;          // index of the header line, -1
    int findKey(int sectionLine, const QString& key) const; // index of the key line, -1
    static std::optional<QString> sectionName(const QByteArray& line);
    static std::optional<std::pair<QString, QString>> keyValue(const QByteArray& line);
    bool save(const QList<Line>& lines) const;
    void put(const QString& section, const QString& key, const QString& value);

    QString m_path;
    QList<Line> m_lines;
    mutable QString m_error;
};
