#pragma once

#include "db/FbApi.h"

#include <QString>
#include <QStringList>

// Why a database file could not be opened, in the operator's words: one
// Bulgarian line naming the file and what is wrong, the engine's own texts
// on the lines below it for the maintainer.
namespace FbConnectError {

enum class Cause { Missing, Damaged, Locked, NoPermission, Unreachable, LoginRefused, Other };

// From the engine's error and what the file itself shows.
Cause classify(const QString& path, const EDatabaseError& e);
QString message(const QString& path, const EDatabaseError& e);
// A file that opens but lacks the program's tables, procedures or generators.
QString notOurs(const QString& path, const QStringList& missing);

} // namespace FbConnectError
