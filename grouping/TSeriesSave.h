#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// Saving a series: the checks before it, in their order, and its statements.
namespace TSeriesSave {

constexpr int kMaxComment = 250;

// The message of the first check that fails, or nothing when all pass.
std::optional<QString> check(const QString& comment, std::optional<int> multiplierId,
                             std::optional<int> objectId);

// The insert of the series, returning its id. The comment goes in with its
// quotes doubled, the day in the fixed form the server reads back exactly.
QString insertStatement(const QDate& day, const QString& comment, int multiplierId, int objectId);

// "-1" and then the whole-number ids: the -1 matches no run.
QString idList(const QList<QVariant>& ids);

QString assignStatement(int seriesId, const QString& idList);

} // namespace TSeriesSave
