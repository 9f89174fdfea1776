#include "results/TReviewFilter.h"

const QString TReviewFilter::kHead = QStringLiteral(
    "select  count (mes.mes_group_id) as broi,  mes_group.mes_group_id,  mes_group.date_effect,  "
    "multiplier.multi,   multiplier.ime,   obekt.ime,   mes_group.komentar from mes_group  join "
    "mes "
    "on mes.mes_group_id = mes_group.mes_group_id  join multiplier on multiplier.multiplier_id = "
    "mes_group.multiplier_id  join obekt on obekt.obekt_id = mes_group.obekt_id  where 1=1 ");

const QString TReviewFilter::kTail = QStringLiteral(
    " group by  mes_group.mes_group_id,  mes_group.date_effect,  multiplier.multi,   "
    "multiplier.ime,obekt.ime,   mes_group.komentar");

QString TReviewFilter::statement() const {
    QString sql = kHead;
    if (data)
        sql += QStringLiteral(" and mes_group.date_effect = ? ");
    if (nomer)
        sql += QStringLiteral(" and mes_group.mes_group_id = ? ");
    if (obekt_id)
        sql += QStringLiteral(" and mes_group.obekt_id = ? ");
    // The text as typed, in any letter case: "%" and "_" are no wildcards.
    if (text)
        sql += QStringLiteral(" and mes_group.komentar containing ? ");
    return sql + kTail;
}

QList<QVariant> TReviewFilter::values() const {
    QList<QVariant> out;
    if (data)
        out.append(*data);
    if (nomer)
        out.append(*nomer);
    if (obekt_id)
        out.append(*obekt_id);
    if (text)
        out.append(*text);
    return out;
}
