#include "TSeriesSave.h"

#include "TextFormats.h"

namespace TSeriesSave {

std::optional<QString> check(const QString& comment, std::optional<int> multiplierId,
                             std::optional<int> objectId) {
    if (comment.isEmpty())
        return QStringLiteral("Моля попълнете Коментар!!!");
    if (!multiplierId)
        return QStringLiteral("Моля Изберете Тип на измерването!!!");
    if (!objectId)
        return QStringLiteral("Моля Изберете Обект!!!");
    if (comment.size() > kMaxComment)
        return QStringLiteral("Коментарът е по-дълъг от %1 знака!!!").arg(kMaxComment);
    return std::nullopt;
}

QString insertStatement(const QDate& day, const QString& comment, int multiplierId, int objectId) {
    QString quoted = comment;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    // Put together piece by piece: the comment may hold "%1" and the like.
    return QStringLiteral(
               "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, "
               "obekt_id)  values(gen_id(gen_mes_group_id,1), '") +
           TFormats::sqlDate(day) + QStringLiteral("', '") + quoted + QStringLiteral("', ") +
           QString::number(multiplierId) + QStringLiteral(", ") + QString::number(objectId) +
           QStringLiteral(" ) returning mes_group_id;");
}

QString idList(const QList<QVariant>& ids) {
    QString list = QStringLiteral("-1");
    for (const QVariant& v : ids) {
        bool ok = false;
        const int id = v.toInt(&ok);
        if (ok && !v.isNull())
            list += QLatin1Char(',') + QString::number(id);
    }
    return list;
}

QString assignStatement(int seriesId, const QString& idList) {
    return QStringLiteral("update mes set mes.mes_group_id = ") + QString::number(seriesId) +
           QStringLiteral(" where mes.mes_id in (") + idList + QLatin1Char(')');
}

} // namespace TSeriesSave
