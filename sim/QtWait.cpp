#include "QtWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

bool serveUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void serveFor(int ms) {
    serveUntil([] { return false; }, ms);
}
