#include "dmmainU.h"

#include "FbApi.h"
#include "TextFormats.h"

TdmMain::TdmMain()
    : trMain(dbNUV), trThread(dbNUV), trDelete(dbNUV), trObekt(dbNUV), qryThread(dbNUV, trThread),
      qryDelete(dbNUV, trDelete), spGenID(dbNUV, trMain) {
    dbNUV.UserName = QStringLiteral("sysdba");
    dbNUV.Password = QStringLiteral("quartzend");
    dbNUV.CharacterSet = QStringLiteral("WIN1251");
    dbNUV.SQLDialect = 3;
    dbNUV.DefaultTransaction = &trMain;
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

int TdmMain::GenID(const QString& TableName) {
    try {
        spGenID.setStoredProcName(QStringLiteral("NEXT_") + TableName.toUpper());
        spGenID.ExecProc();
        const QVariant id = spGenID.Output(0);
        spGenID.Close();
        return id.isNull() ? 0 : id.toInt();
    } catch (const std::exception& e) {
        const QString message = dynamic_cast<const Exception*>(&e)
                                    ? static_cast<const Exception&>(e).message()
                                    : QString::fromUtf8(e.what());
        throw EDatabaseError(QString::fromUtf8(kGenIdError) + TableName + QLatin1Char(' ') +
                             message);
    }
}

int TdmMain::StartRun(int DeviceId) {
    return StartRunAt(DeviceId, Now());
}

void TdmMain::AddSample(int RunId, int DeviceId, double Value, double Speed) {
    AddSampleAt(RunId, DeviceId, Value, Speed, Now());
}

int TdmMain::StartRunAt(int DeviceId, const QDateTime& at) {
    const int id = GenID(QStringLiteral("mes"));
    if (!trThread.InTransaction())
        trThread.StartTransaction();
    qryThread.setSQL(
        QStringLiteral("insert into mes(mes_id, dev_id, dt_start) values( %1, %2, '%3' );")
            .arg(id)
            .arg(DeviceId)
            .arg(TFormats::sqlTimestamp(at)));
    qryThread.ExecSQL();
    trThread.Commit();
    return id;
}

void TdmMain::AddSampleAt(int RunId, int DeviceId, double Value, double Speed,
                          const QDateTime& at) {
    if (!trThread.InTransaction())
        trThread.StartTransaction();
    qryThread.setSQL(
        QStringLiteral(
            "insert into mes_de(mes_de_id, mes_id, mes_value, date_effect, dev_id, speed)"
            "  values(gen_id(gen_mes_de_id,1), %1,%2, '%3', %4, %5 );")
            .arg(RunId)
            .arg(TFormats::sqlFloat(Value))
            .arg(TFormats::sqlTimestamp(at))
            .arg(DeviceId)
            .arg(TFormats::sqlFloat(Speed)));
    qryThread.ExecSQL();
    trThread.Commit();
}
