#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class TIBQuery;

// Saving a series and deleting a run: the checks before a save, in their
// order, and the writes. Every value reaches the server bound to its mark.
namespace TSeriesSave {

constexpr int kMaxComment = 250;

constexpr const char* kInsertSql =
    "insert into mes_group(mes_group_id, date_effect, komentar, multiplier_id, obekt_id)  "
    "values(gen_id(gen_mes_group_id,1), ?, ?, ?, ? ) returning mes_group_id;";
constexpr const char* kAssignSql = "update mes set mes.mes_group_id = ? where mes.mes_id = ?";
constexpr const char* kDeleteSamplesSql = "delete from mes_de where mes_de.mes_id = ?";
constexpr const char* kDeleteRunSql = "delete from mes where mes_id = ?";

// The message of the first check that fails, or nothing when all pass.
std::optional<QString> check(const QString& comment, std::optional<int> multiplierId,
                             std::optional<int> objectId);

// The whole-number ids of the selection in their order; empty and
// non-numeric entries match no run and are left out.
QList<int> runIds(const QList<QVariant>& ids);

// Inserts the series (dated `day`, the comment as typed) and assigns every
// run of the selection to it, any number of runs, all through `q` in its
// transaction, started when inactive and not committed here. Returns the
// series' id.
int save(TIBQuery& q, const QDate& day, const QString& comment, int multiplierId, int objectId,
         const QList<QVariant>& ids);

// Deletes the run's samples and then the run through `q` in its transaction,
// started when inactive and not committed here.
void deleteRun(TIBQuery& q, int runId);

} // namespace TSeriesSave
