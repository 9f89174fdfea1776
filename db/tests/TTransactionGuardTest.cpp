#include "db/TTransactionGuard.h"
#include "db/TIBQuery.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class TransactionGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeTestDatabase(m_dir.path() + "/NUV.GDB");
        m_dm.dbNUV.DatabaseName = m_dir.path() + "/NUV.GDB";
        m_dm.dbNUV.Open();
    }

    void insert(int id, const QString& name) {
        m_dm.qryDelete.setSQL("insert into obekt(obekt_id, ime) values(?, ?)");
        m_dm.qryDelete.setParams({id, name});
        m_dm.qryDelete.ExecSQL();
    }

    QList<QList<QVariant>> names() {
        return selectRows(m_dm.dbNUV, "select ime from obekt where obekt_id >= 9000 order by 1");
    }

    QTemporaryDir m_dir;
    TdmMain m_dm;
};

// Written together or not at all: an exception, or a scope left without
// commit, takes back every write of the transaction, also those made before
// the guard joined it; a commit keeps them.
TEST_F(TransactionGuardTest, RollsBackUnlessCommitted) {
    EXPECT_THROW(
        {
            TTransactionGuard tr(m_dm.trDelete);
            insert(9001, "Мост");
            throw std::runtime_error("the second write failed");
        },
        std::runtime_error);
    EXPECT_FALSE(m_dm.trDelete.InTransaction());
    EXPECT_TRUE(names().isEmpty());

    insert(9002, "Път"); // starts the transaction on its own
    {
        TTransactionGuard tr(m_dm.trDelete);
        insert(9003, "Тунел");
    }
    EXPECT_FALSE(m_dm.trDelete.InTransaction());
    EXPECT_TRUE(names().isEmpty());

    {
        TTransactionGuard tr(m_dm.trDelete);
        insert(9004, "Язовир");
        tr.commit();
    }
    EXPECT_EQ(names(), (QList<QList<QVariant>>{{"Язовир"}}));
}

} // namespace
