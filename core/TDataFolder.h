#pragma once

#include "core/AppPaths.h"

#include <QString>

#include <optional>

// The data folder of an installed program. The shared folder is made by the
// package (group prjnuv, setgid); a folder named by --data-dir or
// NUV_DATA_DIR is made on first use. In a folder that a group shares
// (setgid), everything the program creates is writable by that group, so the
// next user of the laboratory can go on with the same database and settings.
namespace TDataFolder {

// Makes a missing folder of the user's own and checks that the user can
// write into it; the operator's text of what to do when not. A portable
// program's folder is left as it is.
std::optional<QString> prepare(const AppPaths& paths);

// Whether the group of the folder shares it (its setgid bit).
bool sharedByGroup(const QString& dir);

// A file the program made there: readable and writable by its owner, and by
// the folder's group when the group shares the folder.
void share(const QString& file);

// The login name of this process's user.
QString userName();

} // namespace TDataFolder
