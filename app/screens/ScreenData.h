#pragma once

#include <QString>

// A laboratory's few days of work for the screenshots: objects, a press
// series in MPa form, a Marshall/CBR series and runs not yet grouped.
class ScreenData {
public:
    // Makes a fresh database at `path` and fills it.
    static void create(const QString& path);
    // The object that both series belong to.
    static QString firstObject();
};
