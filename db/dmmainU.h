#pragma once

#include "TIBDatabase.h"
#include "TIBQuery.h"
#include "TIBStoredProc.h"
#include "TIBTransaction.h"
#include "TRecorder.h"

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
    void AddSample(int RunId, int DeviceId, double Value, double Speed) override;
    // The same, stamped with the given moment instead of Now().
    int StartRunAt(int DeviceId, const QDateTime& at) override;
    void AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                     const QDateTime& at) override;

    // The clock of the recording statements (tests set their own).
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    static constexpr const char* kGenIdError =
        "Грешка при генериране на уникалния номер на таблица";
};
