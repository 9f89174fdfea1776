#pragma once

#include "core/AppPaths.h"

#include <QString>

class QWidget;

// "За програмата": the version, the data folder and the database in use, so
// that a laboratory's IT person can tell which program records where.
namespace TAboutBox {

QString text(const AppPaths& paths, const QString& database);
void show(QWidget* parent, const AppPaths& paths, const QString& database);

} // namespace TAboutBox
