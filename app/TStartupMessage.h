#pragma once

#include <QString>

class TSignalWatcher;

// What the program says when it refuses to start, before any window exists.
// The text goes to standard error as well, and the box never keeps the
// process alive on its own: it closes itself after a while if asked to, and
// a termination signal closes it.
class TStartupMessage {
public:
    static constexpr char kCaption[] = "prjNUV";

    // closeAfterMs 0: the box stays until the operator or a signal closes it.
    static void show(const QString& text, int closeAfterMs, TSignalWatcher* watcher);
};
