#pragma once

#include "core/ProfileFile.h"
#include "core/TextFormats.h"

#include <QString>

// The settings reader: one profile-file accessor for the path it was created
// with. Creating it does not touch the disk; the file is read at the first use.
class T_IniFile {
public:
    explicit T_IniFile(QString FileName, TFormats formats = TFormats());

    // The key's value as a number in the operator's number format, or Default
    // when the file, section or key is missing, empty or no number. Never fails.
    double ReadFloat(const QString& Section, const QString& Ident, double Default);

    QString ReadString(const QString& Section, const QString& Ident, const QString& Default);
    // False when the file could not be written.
    bool WriteString(const QString& Section, const QString& Ident, const QString& Value);
    // Several keys in one rewrite of the file; false (and nothing written) on failure.
    bool WriteStrings(const QString& Section, const QList<std::pair<QString, QString>>& Values);

    const QString& FileName() const { return m_fileName; }
    // Why the last write failed, in the system's words.
    QString LastError() const { return m_file ? m_file->lastError() : QString(); }

private:
    TProfileFile& file();

    QString m_fileName;
    TFormats m_formats;
    std::optional<TProfileFile> m_file;
};
