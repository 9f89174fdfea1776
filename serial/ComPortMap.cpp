#include "serial/ComPortMap.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

struct SystemFamily {
    const char* prefix;
    int first;
};

constexpr SystemFamily kFamilies[] = {{"ttyS", 1}, {"ttyUSB", 100}, {"ttyACM", 200}};

} // namespace

ComPortMap::ComPortMap(QString portsDir) : m_portsDir(std::move(portsDir)) {}

QString ComPortMap::deviceFor(int number) const {
    if (number < 0)
        return {};
    const QString local = m_portsDir + QStringLiteral("/COM") + QString::number(number);
    // exists() follows links, so a dangling link counts as no device here,
    // but the link itself is still preferred: opening it reports the failure.
    if (QFileInfo(local).exists() || QFileInfo(local).isSymLink())
        return local;
    // Highest base first, so COM205 is ttyACM5 and not ttyUSB105.
    for (auto it = std::rbegin(kFamilies); it != std::rend(kFamilies); ++it) {
        if (number >= it->first)
            return QStringLiteral("/dev/%1%2")
                .arg(QLatin1String(it->prefix))
                .arg(number - it->first);
    }
    return {};
}

std::optional<int> ComPortMap::numberOfSystemDevice(const QString& deviceName) {
    const QString name = QFileInfo(deviceName).fileName();
    for (const auto& f : kFamilies) {
        const QString prefix = QLatin1String(f.prefix);
        if (!name.startsWith(prefix))
            continue;
        bool ok = false;
        const int k = name.mid(prefix.size()).toInt(&ok);
        if (ok && k >= 0 && name.mid(prefix.size()) == QString::number(k))
            return f.first + k;
    }
    return std::nullopt;
}

QStringList ComPortMap::comNames(const QStringList& systemDeviceNames) const {
    QStringList names;
    static const QRegularExpression comRe(QStringLiteral("^COM([0-9]+)$"));
    const QDir dir(m_portsDir);
    const auto entries = dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : entries) {
        const auto m = comRe.match(fi.fileName());
        if (m.hasMatch())
            names.append(QStringLiteral("COM") + QString::number(m.captured(1).toInt()));
    }
    for (const QString& dev : systemDeviceNames) {
        if (const auto n = numberOfSystemDevice(dev)) {
            const QString name = QStringLiteral("COM") + QString::number(*n);
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}
