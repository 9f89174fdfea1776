#include "testsupport/TestDatabase.h"

#include "db/TIBDatabase.h"

#include "db/FbEngine.h"
#include "db/TIBQuery.h"
#include "db/TIBTransaction.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <stdexcept>

const QString& testLockFolder() {
    static QTemporaryDir dir;
    static const QString folder = FbEngine::prepare(dir.path() + "/fblock");
    return folder;
}

namespace {

// Before the first database of the process is opened, by whatever test.
const bool g_lockFolderSet = !testLockFolder().isEmpty();

} // namespace

void makeTestDatabase(const QString& path) {
    static QTemporaryDir dir;
    static const QString templ = [] {
        const QString file = dir.path() + "/template.gdb";
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("bash", {QStringLiteral(NUV_SOURCE_DIR "/scripts/create-db.sh"), file});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            throw std::runtime_error("create-db.sh failed: " + p.readAll().toStdString());
        return file;
    }();
    QFile::remove(path);
    if (!QFile::copy(templ, path))
        throw std::runtime_error("cannot copy the test database");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QString isql(const QString& path, const QString& statements) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("isql-fb", {"-q", "-user", "SYSDBA", "-ch", "UTF8", path});
    p.write(statements.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(20 * 60 * 1000); // a benchmark's data can take minutes
    return QString::fromUtf8(p.readAll());
}

void execSql(TIBDatabase& db, const QString& sql, const QList<std::pair<QString, QVariant>>& params,
             const QList<QVariant>& positional) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    q.setSQL(sql);
    q.setParams(positional);
    for (const auto& [name, value] : params)
        q.ParamByName(name, value);
    q.ExecSQL();
    tr.Commit();
}

QList<QList<QVariant>> selectRows(TIBDatabase& db, const QString& sql) {
    TIBTransaction tr(db);
    TIBQuery q(db, tr);
    q.setSQL(sql);
    q.Open();
    QList<QList<QVariant>> out;
    for (int r = 0; r < q.RecordCount(); ++r) {
        QList<QVariant> row;
        for (int c = 0; c < q.FieldNames().size(); ++c)
            row.append(q.Value(r, c));
        out.append(row);
    }
    tr.Commit();
    return out;
}

void addRun(TIBDatabase& db, int id, const QVariant& group, int dev, const QDateTime& start,
            const QList<std::tuple<int, double, int>>& samples) {
    execSql(db, "insert into mes(mes_id, mes_group_id, dev_id, dt_start) values(:id, :g, :d, :t)",
            {{"id", id}, {"g", group}, {"d", dev}, {"t", start}});
    for (const auto& [ms, value, device] : samples)
        execSql(db,
                "insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed) "
                "values(gen_id(gen_mes_de_id,1), :id, :v, :t, :d, 0)",
                {{"id", id}, {"v", value}, {"t", start.addMSecs(ms)}, {"d", device}});
}

QList<QList<QVariant>> selectRows(const QString& database, const QString& user,
                                  const QString& password, const QString& sql) {
    TIBDatabase other;
    other.DatabaseName = database;
    other.UserName = user;
    other.Password = password;
    other.Open();
    return selectRows(other, sql);
}
