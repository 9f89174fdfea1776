#pragma once

#include "core/AppPaths.h"

#include <QString>

// The installed program's first start in a data folder: the database it
// works on by default is made there from the packaged schema, and the
// operator is told where it is. A database named in the settings (another
// file, a server) is never made here.
namespace TFirstStart {

// The operator's text when a database was made ("Създадена е нова база
// данни: <file>", also written to the log); empty when there was nothing to
// make. Throws Exception when it cannot be made.
QString makeDatabase(const AppPaths& paths);

} // namespace TFirstStart
