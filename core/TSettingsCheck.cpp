#include "core/TSettingsCheck.h"

#include "core/Exception.h"
#include "core/ProfileFile.h"
#include "core/TDatabaseSetting.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

QString prefix(const QString& path, const QString& key) {
    return QStringLiteral("Файл с настройки „%1“, раздел [dev], ключ „%2“: ").arg(path, key);
}

} // namespace

QStringList TSettingsCheck::problems(const QString& path, const TFormats& formats) {
    QStringList out;
    QByteArray bytes;
    if (QFileInfo::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {QStringLiteral("Файлът с настройки „%1“ не може да бъде прочетен: %2.")
                        .arg(path, f.errorString())};
        bytes = f.readAll();
        if (const auto why = TProfileFile::unreadableReason(bytes))
            return {QStringLiteral("Файлът с настройки „%1“ не може да бъде прочетен: %2. "
                                   "Запишете го като текст в Windows-1251.")
                        .arg(path, *why)};
    }
    if (const auto why = TProfileFile(path).unwritableReason())
        out.append(QStringLiteral("Файлът с настройки „%1“ не може да бъде записан (%2): "
                                  "разделът [frmStorage] с положението на прозорците и "
                                  "избрания порт няма да бъде запомнен.")
                       .arg(path, *why));
    out += constantProblems(path, bytes, formats);
    try {
        TDatabaseSetting::read(AppPaths::in(QFileInfo(path).absolutePath()));
    } catch (const Exception& e) {
        out.append(e.message());
    }
    return out;
}

// A key that is there must hold a finite number in the operator's number
// format; "downn" divides, so it must not be 0 either. A missing key has its
// default.
QStringList TSettingsCheck::constantProblems(const QString& path, const QByteArray& bytes,
                                             const TFormats& formats) {
    TProfileFile file(path);
    file.loadBytes(bytes);
    QStringList out;
    for (const char* name : {"upp", "downn", "maxstart"}) {
        const QString key = QLatin1String(name);
        const auto text = file.value(QStringLiteral("dev"), key);
        if (!text)
            continue;
        const auto number = formats.toDouble(*text);
        if (!number || !std::isfinite(*number)) {
            out.append(prefix(path, key) +
                       QStringLiteral("стойността „%1“ не е число (десетичният знак е „%2“).")
                           .arg(*text, formats.decimalSeparator()));
        } else if (key == QLatin1String("downn") && *number == 0) {
            out.append(prefix(path, key) +
                       QStringLiteral("стойността „%1“ е нула, а натоварването се дели на нея.")
                           .arg(*text));
        }
    }
    return out;
}
