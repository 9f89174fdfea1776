#include "app/TStartupMessage.h"

#include "app/TSignalWatcher.h"

#include <QMessageBox>
#include <QTimer>

#include <cstdio>

void TStartupMessage::show(const QString& text, int closeAfterMs, TSignalWatcher* watcher) {
    std::fprintf(stderr, "prjNUV: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kCaption), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("StartupMessage"));
    if (closeAfterMs > 0)
        QTimer::singleShot(closeAfterMs, &box, &QMessageBox::reject);
    if (watcher)
        QObject::connect(watcher, &TSignalWatcher::received, &box, &QMessageBox::reject);
    box.exec();
}
