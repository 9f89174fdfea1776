#include "core/U_IniFile.h"

T_IniFile::T_IniFile(QString FileName, TFormats formats)
    : m_fileName(std::move(FileName)), m_formats(std::move(formats)) {}

TProfileFile& T_IniFile::file() {
    if (!m_file)
        m_file.emplace(m_fileName);
    return *m_file;
}

double T_IniFile::ReadFloat(const QString& Section, const QString& Ident, double Default) {
    const QString text = file().readString(Section, Ident, QString());
    if (text.isEmpty())
        return Default;
    return m_formats.toDouble(text).value_or(Default);
}

QString T_IniFile::ReadString(const QString& Section, const QString& Ident,
                              const QString& Default) {
    return file().readString(Section, Ident, Default);
}

bool T_IniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value) {
    return file().writeString(Section, Ident, Value);
}

bool T_IniFile::WriteStrings(const QString& Section,
                             const QList<std::pair<QString, QString>>& Values) {
    return file().writeStrings(Section, Values);
}
