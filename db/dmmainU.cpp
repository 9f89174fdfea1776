#include "db/dmmainU.h"

#include "db/FbApi.h"
#include "db/FbConnectError.h"
#include "db/TRunData.h"
#include "db/TTrace.h"
#include "db/TTransactionGuard.h"

#include <QScopeGuard>
#include <QTime>

#include <cerrno>

namespace {

// The cause of a refused write, in the operator's words.
QString writeCause(const EDatabaseError& e) {
    const int os = e.osError();
    if (os == ENOSPC || os == EFBIG || os == EDQUOT)
        return QStringLiteral("няма място на диска за файла на базата данни");
    if (TIBDatabase::connectionLost(e))
        return QStringLiteral("връзката с базата данни е прекъсната");
    if (e.has(isc_read_only_database) || os == EACCES || os == EROFS || os == EPERM)
        return QStringLiteral("базата данни не позволява запис");
    if (e.has(isc_foreign_key))
        return QStringLiteral("измерването, към което е отчетът, вече го няма в базата данни");
    if (e.has(isc_io_error) || e.has(isc_io_write_err))
        return QStringLiteral("файлът на базата данни не може да бъде записан");
    if (e.codes().empty())
        return QStringLiteral("стойностите не могат да бъдат записани");
    return QStringLiteral("базата данни отказа записа");
}

// An id the generator did not give, with why: the table's name and the
// failure's own text.
EDatabaseError genIdFailed(const QString& table, const std::exception& e) {
    return EDatabaseError(QString::fromUtf8(TdmMain::kGenIdError) + table + QLatin1Char(' ') +
                          Exception::of(e).message());
}

// Stored timestamps are whole seconds, as the operator's time format shows them.
QDateTime wholeSecond(const QDateTime& at) {
    const QTime t = at.time();
    return QDateTime(at.date(), QTime(t.hour(), t.minute(), t.second()));
}

const QStringList kTables = {"MES", "MES_DE", "MES_GROUP", "MULTIPLIER", "OBEKT"};
const QStringList kProcedures = {"NEXT_MES", "NEXT_OBEKT"};

} // namespace

TdmMain::TdmMain()
    : trMain(dbNUV), trThread(dbNUV), trDelete(dbNUV), trObekt(dbNUV), qryThread(dbNUV, trThread),
      qryDelete(dbNUV, trDelete), spGenID(dbNUV, trMain), qryTrace(dbNUV, trThread) {
    dbNUV.UserName = QStringLiteral("sysdba");
    dbNUV.Password = QStringLiteral("quartzend");
    dbNUV.CharacterSet = QStringLiteral("WIN1251");
    dbNUV.SQLDialect = 3;
    dbNUV.DefaultTransaction = &trMain;
    dbNUV.AfterConnect = [this] { checkSchema(); };
    // An object another workstation is editing stops this one's edit with a
    // message instead of freezing the register.
    trObekt.LockTimeoutSec = kObjectLockTimeoutSec;
}

TdmMain::~TdmMain() {
    for (TIBTransaction* t : {&trThread, &trDelete, &trObekt, &trMain}) {
        if (t->InTransaction()) {
            try {
                t->Commit();
            } catch (...) {
                // The connection closes below whatever happened here.
            }
        }
    }
    try {
        dbNUV.Close();
    } catch (...) {
    }
}

// A file that opens but lacks the program's tables, or both its id
// procedures, is some other database: said at once, not at the first run or
// window. A file of ours that lacks one procedure stays usable; the id
// requests that need it fail with their own message.
void TdmMain::checkSchema() {
    TIBTransaction tr(dbNUV);
    TIBQuery q(dbNUV, tr);
    q.setSQL(QStringLiteral(
        "select trim(rdb$relation_name) from rdb$relations where rdb$system_flag = 0 "
        "union all select trim(rdb$procedure_name) from rdb$procedures"));
    q.Open();
    QStringList present;
    for (int r = 0; r < q.RecordCount(); ++r)
        present.append(q.Value(r, 0).toString().toUpper());
    QStringList missing;
    for (const QString& name : kTables) {
        if (!present.contains(name))
            missing.append(name);
    }
    if (!present.contains(kProcedures[0]) && !present.contains(kProcedures[1]))
        missing += kProcedures;
    if (!missing.isEmpty())
        throw EDatabaseError(FbConnectError::notOurs(dbNUV.DatabaseName, missing));
    // The trace records are added to a database that lacks them; one that
    // cannot take them (read-only, a user without the right) still records.
    const auto problem = TTrace::ensure(dbNUV);
    m_traced = !problem;
    m_traceProblem = problem.value_or(QString());
    m_overviews = !TRunData::ensureOverviews(dbNUV);
}

int TdmMain::GenID(const QString& TableName) {
    try {
        spGenID.setStoredProcName(QStringLiteral("NEXT_") + TableName.toUpper());
        spGenID.ExecProc();
        const QVariant id = spGenID.Output(0);
        spGenID.Close();
        return id.isNull() ? 0 : id.toInt();
    } catch (const EDatabaseError& e) {
        dropLostConnection(e);
        throw genIdFailed(TableName, e);
    } catch (const std::exception& e) {
        throw genIdFailed(TableName, e);
    }
}

void TdmMain::dropLostConnection(const EDatabaseError& e) {
    dbNUV.dropIfLost(e);
}

// One commit for many recording statements; the connection is made, or made
// again, before the transaction starts and never within it.
bool TdmMain::inOneTransaction(const std::function<void()>& writes) {
    if (m_together) {
        writes();
        return true;
    }
    try {
        if (!dbNUV.Connected())
            dbNUV.Open();
        TTransactionGuard tr(trThread);
        m_together = true;
        const auto apart = qScopeGuard([this] { m_together = false; });
        writes();
        tr.commit();
    } catch (const EDatabaseError& e) {
        dropLostConnection(e);
        throw;
    }
    return true;
}

int TdmMain::StartRun(int DeviceId) {
    return StartRunAt(DeviceId, clock().now());
}

void TdmMain::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    AddSampleAt(RunId, DeviceId, Value, Speed, clock().now());
}

// A run and its context are one transaction: no run is kept without it.
int TdmMain::StartRunAt(int DeviceId, const QDateTime& at) {
    const int id = GenID(QStringLiteral("mes"));
    const auto start = [&] {
        record(QStringLiteral("Новото измерване не е записано"), kStartRunSql,
               {id, DeviceId, wholeSecond(at)});
    };
    if (!m_context || !m_traced) {
        start();
        return id;
    }
    inOneTransaction([&] {
        start();
        recordContext(id, DeviceId, at);
    });
    return id;
}

void TdmMain::recordContext(int runId, int deviceId, const QDateTime& at) {
    TRunContext c = m_context->forRun(deviceId, at);
    c.database = dbNUV.DatabaseName;
    try {
        TTrace::writeContext(qryTrace, runId, c);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(QStringLiteral("Новото измерване не е записано: ") + writeCause(e) +
                                 QStringLiteral(".\r\n") + e.message(),
                             e.codes(), e.osError());
    }
}

void TdmMain::EndRun(int RunId) {
    keepOverview(RunId);
    if (!m_traced)
        return;
    const auto seal = [&] { TTrace::sealRun(qryTrace, RunId, clock().now()); };
    try {
        if (m_together) {
            seal();
            return;
        }
        if (!dbNUV.Connected())
            dbNUV.Open();
        TTransactionGuard tr(trThread);
        seal();
        tr.commit();
    } catch (const EDatabaseError& e) {
        dropLostConnection(e);
        throw EDatabaseError(QStringLiteral("Печатът на измерване %1 не е записан: ").arg(RunId) +
                                 writeCause(e) + QStringLiteral(".\r\n") + e.message(),
                             e.codes(), e.osError());
    }
}

// A long run keeps an overview of its samples as stored, so that the
// windows open it at once. Without one it still opens, by reading its
// samples: a failure here loses nothing of the run.
void TdmMain::keepOverview(int runId) {
    if (!m_overviews)
        return;
    try {
        if (m_together) {
            TIBQuery q(dbNUV, trThread);
            TRunData::storeOverview(q, runId, TRunData::overviewOf(q, runId));
            return;
        }
        if (!dbNUV.Connected())
            return;
        TTransactionGuard tr(trThread);
        TIBQuery q(dbNUV, trThread);
        TRunData::storeOverview(q, runId, TRunData::overviewOf(q, runId));
        tr.commit();
    } catch (const EDatabaseError&) {
        // The run opens by reading its samples.
    }
}

void TdmMain::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                          const QDateTime& at) {
    record(QStringLiteral("Отчетът към измерване %1 не е записан").arg(RunId), kAddSampleSql,
           {RunId, Value, wholeSecond(at), DeviceId, Speed});
}

void TdmMain::execRecording(const char* sql, const QList<QVariant>& values) {
    qryThread.setSQL(QString::fromLatin1(sql));
    qryThread.setParams(values);
    qryThread.ExecSQL();
}

// Nothing of a refused write stays in trThread to be committed with a later one.
void TdmMain::record(const QString& what, const char* sql, const QList<QVariant>& values) {
    try {
        if (m_together) {
            execRecording(sql, values);
            return;
        }
        if (!dbNUV.Connected())
            dbNUV.Open(); // let go after it was lost: tried again with every write
        TTransactionGuard tr(trThread);
        execRecording(sql, values);
        tr.commit();
    } catch (const EDatabaseError& e) {
        dropLostConnection(e);
        throw EDatabaseError(what + QStringLiteral(": ") + writeCause(e) + QStringLiteral(".\r\n") +
                                 e.message(),
                             e.codes(), e.osError());
    }
}
