#include "acquisition/TAcqStatus.h"

#include "core/TDataFolder.h"

namespace {

QString machine(TPage page) {
    switch (page) {
    case TPage::Press:
        return QStringLiteral("пресата");
    case TPage::Cbr:
        return QStringLiteral("MARSHALL-CBR");
    default:
        return QStringLiteral("уредите");
    }
}

} // namespace

QString TAcqStatus::text() const {
    const QString com = QStringLiteral("COM") + portCaption.trimmed();
    switch (kind) {
    case Kind::Polling:
        return QStringLiteral("Връзка с %1 на %2").arg(machine(page), com);
    case Kind::NoPort:
        return QStringLiteral("Няма връзка с %1 на %2").arg(machine(page), com);
    case Kind::NoPermission:
        return QStringLiteral("Няма право на достъп до %1 (%2). %3")
            .arg(com, device, joinGroupAdvice(group));
    case Kind::PortLost:
        return QStringLiteral("Връзката с %1 е загубена").arg(com);
    case Kind::NoReply:
        return QStringLiteral("Няма отговор от уреда от %1 s").arg(silentSeconds);
    case Kind::Stopped:
        return QStringLiteral("Събирането на данни от %1 е спряно").arg(com);
    }
    return QString();
}

QString TAcqStatus::joinGroupAdvice(const QString& group) {
    return QStringLiteral("Добавете потребителя в групата %1: sudo adduser %2 %1, след това "
                          "излезте от системата и влезте отново.")
        .arg(group, TDataFolder::userName());
}
