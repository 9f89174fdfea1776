#include "results/TSeriesSave.h"

#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"

namespace TSeriesSave {

namespace {

void exec(TIBQuery& q, const char* sql, const QList<QVariant>& values) {
    q.setSQL(QString::fromLatin1(sql));
    q.setParams(values);
    q.ExecSQL();
}

} // namespace

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

QList<int> runIds(const QList<QVariant>& ids) {
    QList<int> out;
    for (const QVariant& v : ids) {
        bool ok = false;
        const int id = v.toInt(&ok);
        if (ok && !v.isNull())
            out.append(id);
    }
    return out;
}

// One update per run, the statement prepared once: the server's limit on the
// length of an "in" list never applies, and the series stays one transaction.
int save(TIBQuery& q, const QDate& day, const QString& comment, int multiplierId, int objectId,
         const QList<QVariant>& ids) {
    q.Transaction().StartIfInactive();
    q.setSQL(QString::fromLatin1(kInsertSql));
    q.setParams({day, comment, multiplierId, objectId});
    q.Open();
    const int series = q.FieldByName(QStringLiteral("MES_GROUP_ID")).toInt();
    q.Close();
    for (const int run : runIds(ids))
        exec(q, kAssignSql, {series, run});
    return series;
}

void deleteRun(TIBQuery& q, int runId) {
    q.Transaction().StartIfInactive();
    exec(q, kDeleteSamplesSql, {runId});
    exec(q, kDeleteRunSql, {runId});
}

} // namespace TSeriesSave
