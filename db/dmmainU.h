#pragma once

#include "core/TClock.h"
#include "core/TRunContext.h"
#include "db/TIBDatabase.h"
#include "db/TIBQuery.h"
#include "db/TIBStoredProc.h"
#include "db/TIBTransaction.h"
#include "db/TRecorder.h"

#include <QDateTime>

#include <functional>

// The data module: the program's one database connection, its transactions,
// the shared statement objects, and the recording of runs and samples.
class TdmMain : public TRecorder {
public:
    TdmMain();
    // Commits what is still active, then closes the connection.
    ~TdmMain() override;
    TdmMain(const TdmMain&) = delete;
    TdmMain& operator=(const TdmMain&) = delete;

    TIBDatabase dbNUV;
    TIBTransaction trMain;
    TIBTransaction trThread;
    TIBTransaction trDelete;
    TIBTransaction trObekt;
    TIBQuery qryThread;
    TIBQuery qryDelete;
    TIBStoredProc spGenID;

    // The next id of a table from its procedure "NEXT_<TABLE>". Any failure,
    // including one to connect, becomes
    // "Грешка при генериране на уникалния номер на таблица<TableName> <message>".
    int GenID(const QString& TableName);
    // Records a new run of the device and returns its id.
    int StartRun(int DeviceId) override;
    // Records one sample of a run.
    // A failed write rolls trThread back and throws EDatabaseError: a
    // Bulgarian line naming the cause, the engine's texts below it; the next
    // call works once the cause is gone.
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    // The same, stamped with the given moment instead of Now().
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;

    // Seals the run: the SHA-256 of its samples goes to its context.
    void EndRun(int RunId) override;

    // The recording statements inside `writes` share one transaction of
    // trThread, committed at the end; a failure rolls all of them back.
    bool inOneTransaction(const std::function<void()>& writes) override;

    // The clock of the recording statements: the program's unless one is set.
    void setClock(const TClock& clock) { m_clock = &clock; }

    // Where each new run's context comes from; without one runs are
    // recorded without it.
    void setContextSource(const TRunContextSource* source) { m_context = source; }
    // Whether the connected database keeps the trace records, and why not.
    bool traced() const { return m_traced; }
    const QString& traceProblem() const { return m_traceProblem; }

    static constexpr int kObjectLockTimeoutSec = 3;
    static constexpr const char* kGenIdError =
        "Грешка при генериране на уникалния номер на таблица";
    static constexpr const char* kStartRunSql =
        "insert into mes(mes_id, dev_id, dt_start) values( ?, ?, ? );";
    static constexpr const char* kAddSampleSql =
        "insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)"
        "  values(gen_id(gen_mes_de_id,1), ?,?, ?, ?, ? );";

private:
    const TClock& clock() const { return m_clock ? *m_clock : TClock::program(); }
    // Throws when the connected file lacks what the program needs.
    void checkSchema();
    // Runs one recording statement in trThread and commits it.
    void record(const QString& what, const char* sql, const QList<QVariant>& values);
    void execRecording(const char* sql, const QList<QVariant>& values);
    // After an error that lost the connection, the dead one is let go, so the
    // next id request connects again.
    void dropLostConnection(const EDatabaseError& e);

    void recordContext(int runId, int deviceId, const QDateTime& at);

    TIBQuery qryTrace; // the trace records' writes, in trThread
    const TClock* m_clock = nullptr;
    const TRunContextSource* m_context = nullptr;
    bool m_traced = false;
    QString m_traceProblem;
    // Whether the database keeps the overviews of ended runs (TRunOverview).
    bool m_overviews = false;
    void keepOverview(int runId);
    bool m_together = false; // inside inOneTransaction: record() leaves the commit to it
};
