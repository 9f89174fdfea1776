#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// A Firebird server of a test's own: /usr/sbin/firebird with a root folder in
// a temporary folder (its firebird.conf on a free port of 127.0.0.1, its
// databases.conf, its own security database with a SYSDBA password made for
// this server, its own lock and temporary folders), so that several test runs
// can serve at once and nothing of the machine's own server is touched.
// The server dies with the thread that started it, however the test ends.
class TFbServer {
public:
    TFbServer();
    // Stops the server and removes its root folder with every database in it.
    ~TFbServer();
    TFbServer(const TFbServer&) = delete;
    TFbServer& operator=(const TFbServer&) = delete;

    // Starts the server and waits until its port answers. The first start
    // makes the root folder and picks the port; later ones keep both.
    // Throws std::runtime_error with the server's own output and log when it
    // does not answer in time.
    void start();
    // Asks the server to end (SIGTERM) and waits; kills it if it will not.
    void stop();
    // Ends the server at once (SIGKILL), as a crash or a power cut would.
    void kill();
    // Stops what still runs, then starts on the same port and root folder.
    void restart();
    bool running() const { return m_pid > 0; }

    int port() const { return m_port; }
    // "127.0.0.1/<port>:<absolute path>".
    QString connectionString(const QString& path) const;
    // The root folder; databases.conf, firebird.conf and the data folder
    // below it.
    QString root() const { return m_dir.path(); }
    // A place for the test's database files.
    QString dataFolder() const;
    QString user() const { return QStringLiteral("SYSDBA"); }
    QString password() const { return m_password; }

    // The environment of a tool that works on this server (gbak, gfix,
    // isql-fb, scripts/create-db.sh): ISC_USER and ISC_PASSWORD set, the
    // machine's own client configuration.
    QProcessEnvironment clientEnvironment() const;

    struct ToolResult {
        int exitCode = -1; // -1: it crashed or did not end within two minutes
        QString output;    // its standard output and error together
    };
    // Runs a tool or script on this server with clientEnvironment(): the
    // password never on a command line.
    ToolResult runTool(const QString& program, const QStringList& args,
                       const QByteArray& input = {}) const;
    // scripts/create-db.sh on a connection string of this server.
    ToolResult createDatabase(const QString& database) const;

    // Everything the server has said since its first start: its output and
    // what the engine's log of this machine got meanwhile (where this user
    // may read it; other engines of the machine write there too).
    QString log() const;

    // How long start() waits for the port.
    int startTimeoutMs = 20000;

private:
    void prepareRoot();
    void writeConfig() const;
    void makeSecurityDatabase() const;
    QProcessEnvironment serverEnvironment() const;
    void spawn();
    bool portAnswers() const;
    bool reap(bool wait);

    QTemporaryDir m_dir;
    QString m_password;
    int m_port = 0;
    pid_t m_pid = 0;
    bool m_prepared = false;
    qint64 m_engineLogStart = -1;
};
