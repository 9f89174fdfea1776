#include "db/TNewDatabase.h"

#include "db/FbApi.h"
#include "db/TSchemaScript.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

using namespace Firebird;

namespace {

QString readScript(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Файлът „%1“ не може да бъде прочетен: %2").arg(file, f.errorString()));
    return QString::fromUtf8(f.readAll());
}

fb::Ref<IAttachment> createFile(const QString& path) {
    fb::Status st;
    fb::Owned<IXpbBuilder> dpb(fb::util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0));
    dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
    dpb->insertInt(&st, isc_dpb_page_size, 8192);
    dpb->insertString(&st, isc_dpb_set_db_charset, "WIN1251");
    // The scripts are UTF-8 text; the engine stores their words in WIN1251.
    dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    fb::Ref<IProvider> provider(fb::master()->getDispatcher());
    const QByteArray file = QFile::encodeName(path);
    return fb::Ref<IAttachment>(provider->createDatabase(
        &st, file.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st)));
}

// Each statement in a transaction of its own: a table is made before the
// rows that go into it.
void run(IAttachment* att, const QStringList& statements) {
    fb::Status st;
    for (const QString& sql : statements) {
        fb::Ref<ITransaction> tra(att->startTransaction(&st, 0, nullptr));
        const QByteArray text = sql.toUtf8();
        att->execute(&st, tra.get(), unsigned(text.size()), text.constData(), 3, nullptr, nullptr,
                     nullptr, nullptr);
        tra->commit(&st);
        tra.take();
    }
}

void dropFile(fb::Ref<IAttachment>& att, const QString& path) {
    if (att) {
        try {
            fb::Status st;
            att->dropDatabase(&st);
            att.take();
        } catch (...) {
            // the file is removed below in any case
        }
    }
    QFile::remove(path);
}

} // namespace

namespace TNewDatabase {

void create(const QString& path, const QStringList& scriptFiles) {
    if (QFileInfo::exists(path))
        return;
    QStringList statements;
    for (const QString& file : scriptFiles)
        statements += TSchemaScript::statements(readScript(file));
    const QFileInfo target(path);
    const QString building =
        target.absolutePath() +
        QStringLiteral("/.%1.creating.%2").arg(target.fileName()).arg(::getpid());
    QFile::remove(building);
    fb::Ref<IAttachment> att;
    try {
        try {
            att = createFile(building);
            run(att.get(), statements);
            fb::Status st;
            att->detach(&st);
            att.take();
        } catch (const FbException& e) {
            fb::rethrow(e);
        }
    } catch (const EDatabaseError& e) {
        dropFile(att, building);
        throw EDatabaseError(
            QStringLiteral("Базата данни „%1“ не може да бъде създадена").arg(path), e.codes(),
            e.osError(), e.cause());
    }
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        throw Exception(QStringLiteral("Базата данни „%1“ не може да бъде създадена: "
                                       "файлът не може да бъде преименуван")
                            .arg(path));
    }
}

} // namespace TNewDatabase
