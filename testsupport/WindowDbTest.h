#pragma once

#include "core/AppPaths.h"
#include "db/dmmainU.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A window test's own folder with a fresh database in it, opened by the data
// module, and the one object the fixtures' series refer to.
class WindowDbTest : public ::testing::Test {
protected:
    void openDatabaseWithObject() {
        makeTestDatabase(m_paths.database());
        m_dm.dbNUV.DatabaseName = m_paths.database();
        m_dm.dbNUV.Open();
        execSql(m_dm.dbNUV, "insert into obekt(obekt_id, ime) values(1, 'Мост')");
    }

    QTemporaryDir m_dir;
    AppPaths m_paths = AppPaths::in(m_dir.path());
    TdmMain m_dm;
};
