#include "app/TAboutBox.h"

#include "core/TVersion.h"

#include <QMessageBox>

namespace TAboutBox {

QString text(const AppPaths& paths, const QString& database) {
    return QStringLiteral("prjNUV\n\n"
                          "Измерване на натоварване и деформация с пресата PLQ-4000 и "
                          "уреда MARSHALL-CBR.\n\n"
                          "Версия: %1\n"
                          "Папка с данни: %2\n"
                          "База данни: %3")
        .arg(QLatin1String(NUV_VERSION), paths.dir, database);
}

void show(QWidget* parent, const AppPaths& paths, const QString& database) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("За програмата"),
                    text(paths, database), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.exec();
}

} // namespace TAboutBox
