#include "testsupport/TFbServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kServer = "/usr/sbin/firebird";
// The Debian build finds its messages, character sets and configuration
// below the root folder it is given; its plugins and its log stay where the
// package put them.
const char* const kPackageDir = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
const char* const kPluginsConf = "/etc/firebird/3.0/plugins.conf";
const char* const kSecuritySql = "/usr/share/firebird/3.0/security.sql";
const char* const kEngineLog = "/var/log/firebird/firebird3.0.log";

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

// A port of 127.0.0.1 that nobody listens on just now.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        fail(QStringLiteral("no socket for a free port"));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    ::close(s);
    if (!ok)
        fail(QStringLiteral("no free port on 127.0.0.1"));
    return ntohs(a.sin_port);
}

void writeText(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
        fail(QStringLiteral("cannot write ") + path);
}

void copy(const QString& from, const QString& to) {
    if (!QFile::copy(from, to))
        fail(QStringLiteral("cannot copy ") + from + QStringLiteral(" to ") + to);
}

QString randomPassword() {
    QString p;
    for (int i = 0; i < 4; ++i)
        p += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
    return p.left(24);
}

std::vector<QByteArray> bytes(const QStringList& list) {
    std::vector<QByteArray> out;
    for (const QString& s : list)
        out.push_back(QFile::encodeName(s));
    return out;
}

std::vector<char*> pointers(std::vector<QByteArray>& list) {
    std::vector<char*> out;
    for (QByteArray& b : list)
        out.push_back(b.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

TFbServer::TFbServer() {
    if (!m_dir.isValid())
        fail(QStringLiteral("no temporary folder for the server"));
}

TFbServer::~TFbServer() {
    try {
        stop();
    } catch (...) {
        // the folder goes whatever the server said
    }
}

QString TFbServer::dataFolder() const {
    return root() + QStringLiteral("/data");
}

QString TFbServer::connectionString(const QString& path) const {
    return QStringLiteral("127.0.0.1/%1:%2").arg(m_port).arg(QFileInfo(path).absoluteFilePath());
}

void TFbServer::prepareRoot() {
    const QString r = root();
    for (const char* sub : {"lock", "tmp", "data", "intl"}) {
        if (!QDir(r).mkpath(QString::fromLatin1(sub)))
            fail(QStringLiteral("cannot make ") + r + QLatin1Char('/') + QLatin1String(sub));
    }
    QFile::setPermissions(r + QStringLiteral("/lock"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Copies, not links: the engine does not take character sets from a
    // module it reached through a link ("CHARACTER SET WIN1251 is not
    // installed").
    const QString package = QString::fromLatin1(kPackageDir);
    for (const char* file : {"firebird.msg", "intl/libfbintl.so", "intl/fbintl.conf"})
        copy(package + QLatin1Char('/') + QLatin1String(file),
             r + QLatin1Char('/') + QLatin1String(file));
    copy(QString::fromLatin1(kPluginsConf), r + QStringLiteral("/plugins.conf"));
    m_password = randomPassword();
    m_port = freePort();
    writeConfig();
    makeSecurityDatabase();
    m_engineLogStart = QFileInfo(QString::fromLatin1(kEngineLog)).size();
    m_prepared = true;
}

void TFbServer::writeConfig() const {
    const QString r = root();
    writeText(r + QStringLiteral("/firebird.conf"),
              QStringLiteral("# A test's own server: this machine only, on a port of its own.\n"
                             "ServerMode = Super\n"
                             "RemoteServicePort = %1\n"
                             "RemoteBindAddress = 127.0.0.1\n"
                             "SecurityDatabase = %2/security3.fdb\n"
                             "TempDirectories = %2/tmp\n"
                             "AuthServer = Srp\n"
                             "UserManager = Srp\n"
                             "UdfAccess = None\n")
                  .arg(m_port)
                  .arg(r));
    writeText(
        r + QStringLiteral("/databases.conf"),
        QStringLiteral("security.db = %1/security3.fdb\n{\n    RemoteAccess = false\n}\n").arg(r));
}

// Made by the embedded engine under the server's own configuration, so the
// user lands in this server's security database and nowhere else.
void TFbServer::makeSecurityDatabase() const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setProcessEnvironment(serverEnvironment());
    p.start(QStringLiteral("isql-fb"), {"-q", "-bail", "-user", "SYSDBA"});
    p.write(QStringLiteral("create database '%1/security3.fdb';\n"
                           "input '%2';\n"
                           "create or alter user SYSDBA password '%3' using plugin Srp;\n"
                           "commit;\n")
                .arg(root(), QString::fromLatin1(kSecuritySql), m_password)
                .toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        fail(QStringLiteral("the server's security database could not be made:\n") +
             QString::fromLocal8Bit(p.readAll()).replace(m_password, QStringLiteral("***")));
}

QProcessEnvironment TFbServer::serverEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ISC_USER"));
    env.remove(QStringLiteral("ISC_PASSWORD"));
    env.insert(QStringLiteral("FIREBIRD"), root());
    env.insert(QStringLiteral("FIREBIRD_LOCK"), root() + QStringLiteral("/lock"));
    env.insert(QStringLiteral("FIREBIRD_TMP"), root() + QStringLiteral("/tmp"));
    return env;
}

QProcessEnvironment TFbServer::clientEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("FIREBIRD"));
    env.insert(QStringLiteral("ISC_USER"), user());
    env.insert(QStringLiteral("ISC_PASSWORD"), m_password);
    return env;
}

TFbServer::ToolResult TFbServer::runTool(const QString& program, const QStringList& args,
                                         const QByteArray& input) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setProcessEnvironment(clientEnvironment());
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    ToolResult r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}

TFbServer::ToolResult TFbServer::createDatabase(const QString& database) const {
    return runTool(QStringLiteral("bash"),
                   {QStringLiteral(NUV_SOURCE_DIR "/scripts/create-db.sh"), database});
}

void TFbServer::start() {
    if (running())
        return;
    const bool first = !m_prepared;
    if (first)
        prepareRoot();
    // A port found free may be taken before the server binds it; a first
    // start then tries another.
    for (int attempt = 0;; ++attempt) {
        // An answer on the port before the server is there is somebody
        // else's; it must not pass for the server's.
        if (portAnswers()) {
            if (!first || attempt == 2)
                fail(
                    QStringLiteral("port %1 of 127.0.0.1 is taken by another program").arg(m_port));
            m_port = freePort();
            writeConfig();
            continue;
        }
        spawn();
        const auto deadline = Clock::now() + std::chrono::milliseconds(startTimeoutMs);
        while (Clock::now() < deadline) {
            if (reap(false))
                break;
            if (portAnswers())
                return;
            QThread::msleep(20);
        }
        if (running()) {
            kill();
            fail(QStringLiteral("the Firebird server did not answer on port %1 within %2 ms\n%3")
                     .arg(m_port)
                     .arg(startTimeoutMs)
                     .arg(log()));
        }
        if (!first || attempt == 2)
            fail(QStringLiteral("the Firebird server ended at its start (port %1)\n%2")
                     .arg(m_port)
                     .arg(log()));
        m_port = freePort();
        writeConfig();
    }
}

// Everything is made before the fork: the child only redirects, arranges to
// die with its parent, and executes.
void TFbServer::spawn() {
    std::vector<QByteArray> argBytes = bytes({QString::fromLatin1(kServer)});
    std::vector<QByteArray> envBytes = bytes(serverEnvironment().toStringList());
    std::vector<char*> argv = pointers(argBytes);
    std::vector<char*> envp = pointers(envBytes);
    const QByteArray out = QFile::encodeName(root() + QStringLiteral("/server.out"));
    const QByteArray dir = QFile::encodeName(root());
    const int outFd = ::open(out.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (outFd < 0 || nullFd < 0)
        fail(QStringLiteral("cannot open the server's output file"));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(nullFd, 0);
        ::dup2(outFd, 1);
        ::dup2(outFd, 2);
        ::close_range(3, ~0U, 0);
        if (::chdir(dir.constData()) != 0)
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outFd);
    ::close(nullFd);
    if (pid < 0)
        fail(QStringLiteral("cannot start ") + QString::fromLatin1(kServer));
    m_pid = pid;
}

bool TFbServer::portAnswers() const {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(m_port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

bool TFbServer::reap(bool wait) {
    if (m_pid <= 0)
        return true;
    const pid_t r = ::waitpid(m_pid, nullptr, wait ? 0 : WNOHANG);
    if (r == m_pid || (r < 0 && errno == ECHILD)) {
        m_pid = 0;
        return true;
    }
    return false;
}

void TFbServer::stop() {
    if (!running())
        return;
    ::kill(m_pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        if (reap(false))
            return;
        QThread::msleep(20);
    }
    kill();
}

void TFbServer::kill() {
    if (!running())
        return;
    ::kill(m_pid, SIGKILL);
    reap(true);
}

void TFbServer::restart() {
    stop();
    start();
}

QString TFbServer::log() const {
    QString text;
    QFile out(root() + QStringLiteral("/server.out"));
    if (out.open(QIODevice::ReadOnly))
        text += QString::fromLocal8Bit(out.readAll());
    QFile engine(QString::fromLatin1(kEngineLog));
    if (m_engineLogStart >= 0 && engine.open(QIODevice::ReadOnly) && engine.seek(m_engineLogStart))
        text += QString::fromLocal8Bit(engine.readAll());
    return text.replace(m_password, QStringLiteral("***"));
}
