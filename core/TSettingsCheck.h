#pragma once

#include "core/TextFormats.h"

#include <QString>
#include <QStringList>

// Settings that cannot work are refused when the program starts, each with a
// message that names the file and the key: a settings file that is no
// Windows-1251 text (so every key would silently read as its default and the
// port as 0), one that cannot be written (so nothing of the windows would be
// kept), and press constants that give no load (a divisor of 0, a value that
// is no finite number).
class TSettingsCheck {
public:
    // The problems of the settings file at path, one message each; empty when
    // it can be used. A missing file is no problem: every key has its default.
    static QStringList problems(const QString& path, const TFormats& formats = TFormats());

private:
    static QStringList constantProblems(const QString& path, const QByteArray& bytes,
                                        const TFormats& formats);
};
