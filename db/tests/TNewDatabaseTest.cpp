// The program makes its own database from the isql scripts: the same tables,
// procedures and first rows as scripts/create-db.sh makes with isql.
#include "db/TNewDatabase.h"
#include "db/FbApi.h"
#include "db/TSchemaScript.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(TSchemaScript, StatementsAsIsqlRunsThem) {
    const struct {
        const char* script;
        QStringList statements;
    } cases[] = {
        {"SET SQL DIALECT 3;\nCREATE TABLE A (X INTEGER);\nCOMMIT;",
         {"CREATE TABLE A (X INTEGER)"}},
        {"/* a ; in a comment */ INSERT INTO A VALUES (1); -- and ; here\nCOMMIT WORK;",
         {"INSERT INTO A VALUES (1)"}},
        {"INSERT INTO M VALUES ('a;b', 'it''s');", {"INSERT INTO M VALUES ('a;b', 'it''s')"}},
        {"SET TERM ^ ;\nCREATE PROCEDURE P AS BEGIN X = 1; END^\nSET TERM ; ^\nSELECT 1 FROM R;",
         {"CREATE PROCEDURE P AS BEGIN X = 1; END", "SELECT 1 FROM R"}},
        {"select 1 from rdb$database", {"select 1 from rdb$database"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TSchemaScript::statements(QString::fromUtf8(c.script)), c.statements) << c.script;
}

// The metadata as isql extracts it, without the lines that name the file.
QString metadata(const QString& file) {
    QProcess p;
    p.start("isql-fb", {"-x", "-user", "SYSDBA", file});
    p.waitForFinished(60000);
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.remove(QRegularExpression("[^\n]*(CREATE DATABASE|/\\*)[^\n]*\n"));
    return text;
}

TEST(TNewDatabase, SameDatabaseAsTheScriptMakesAndNothingHalfMade) {
    QTemporaryDir dir;
    const QString made = dir.path() + "/NUV.GDB";
    const QStringList scripts = {NUV_SOURCE_DIR "/db/schema.sql", NUV_SOURCE_DIR "/db/seed.sql"};
    TNewDatabase::create(made, scripts);
    const QString reference = dir.path() + "/reference.gdb";
    makeTestDatabase(reference);
    const QString ours = metadata(made);
    EXPECT_TRUE(ours.contains("PROCEDURE NEXT_MES")) << ours.toStdString();
    EXPECT_EQ(ours, metadata(reference));
    // The specimen types keep their Cyrillic names.
    const QString rows = "set list on; select ime from multiplier order by multiplier_id;";
    EXPECT_EQ(isql(made, rows), isql(reference, rows));
    EXPECT_TRUE(isql(made, rows).contains("Цилиндър 150 mm"));

    // An existing file is never touched.
    writeAll(dir.path() + "/other.gdb", "not a database");
    TNewDatabase::create(dir.path() + "/other.gdb", scripts);
    EXPECT_EQ(readAll(dir.path() + "/other.gdb"), "not a database");

    // A script the engine refuses leaves no file where the program looks.
    writeAll(dir.path() + "/bad.sql", "CREATE TABLE T (X INTEGER);\nCREATE TABLE T (X INTEGER);\n");
    EXPECT_THROW(TNewDatabase::create(dir.path() + "/bad.gdb", {dir.path() + "/bad.sql"}),
                 EDatabaseError);
    EXPECT_EQ(QDir(dir.path()).entryList({"*bad.gdb*"}, QDir::Files | QDir::Hidden), QStringList());
}

} // namespace
