#include "db/FbConnectError.h"
#include "db/FbEngine.h"
#include "db/FbServerAddress.h"
#include "db/dmmainU.h"
#include "testsupport/GTestQt.h"
#include "testsupport/SilentPort.h"
#include "testsupport/TFbServer.h"
#include "testsupport/TestDatabase.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Attempt {
    bool finished = false;
    bool opened = false;
    QString message;
};

// Opens the data module's connection on a thread of its own, so a
// connection that never gives up is seen as such instead of hanging the test.
Attempt openWith(const QString& database, const QString& password,
                 const QString& user = QStringLiteral("SYSDBA")) {
    auto task = std::async(std::launch::async, [=] {
        Attempt a;
        a.finished = true;
        TdmMain dm;
        dm.dbNUV.DatabaseName = database;
        dm.dbNUV.UserName = user;
        dm.dbNUV.Password = password;
        try {
            dm.dbNUV.Open();
            a.opened = true;
        } catch (const EDatabaseError& e) {
            a.message = e.message();
        }
        return a;
    });
    if (task.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        task.wait(); // the thread must end before the test does
        return {};
    }
    return task.get();
}

QString firstLine(const QString& message) {
    return message.section(QStringLiteral("\r\n"), 0, 0);
}

TEST(FbServerConnectTest, WrongPasswordAndUnreachableServerAreSaidInTime) {
    ASSERT_FALSE(testLockFolder().isEmpty());
    TFbServer server;
    server.start();
    const QString path = server.dataFolder() + "/NUV.GDB";
    ASSERT_EQ(server.createDatabase(server.connectionString(path)).exitCode, 0);

    const QString good = openWith(server.connectionString(path), server.password()).message;
    EXPECT_TRUE(good.isEmpty()) << good.toStdString();

    const QString wrong = "Wr0ng-" + server.password().left(6);
    Attempt a = openWith(server.connectionString(path), wrong);
    ASSERT_TRUE(a.finished);
    EXPECT_FALSE(a.opened);
    EXPECT_EQ(firstLine(a.message), "Сървърът на базата данни „" + server.connectionString(path) +
                                        "“ отказа достъп: потребителското име или паролата "
                                        "не са верни.");
    EXPECT_FALSE(a.message.contains(wrong));
    EXPECT_FALSE(a.message.contains(server.password()));

    // Nothing on the port, a port that never answers, a host that takes no
    // connection: each ends by itself with the same sentence.
    SilentPort silent(8);
    SilentPort full(0);
    const int queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(quint16(full.port()));
    ::connect(queued, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const QStringList unreachable = {
        QStringLiteral("127.0.0.1/%1:%2").arg(closedPort()).arg(path),
        QStringLiteral("127.0.0.1/%1:%2").arg(silent.port()).arg(path),
        QStringLiteral("127.0.0.1/%1:%2").arg(full.port()).arg(path),
        QStringLiteral("10.255.255.1:%1").arg(path),
    };
    for (const QString& database : unreachable) {
        a = openWith(database, server.password());
        ASSERT_TRUE(a.finished) << database.toStdString() << " still connecting after 10 s";
        EXPECT_FALSE(a.opened);
        EXPECT_EQ(firstLine(a.message), "Сървърът на базата данни „" + database +
                                            "“ не отговаря: няма връзка с него по мрежата или "
                                            "той не работи.")
            << a.message.toStdString();
        EXPECT_FALSE(a.message.contains(server.password()));
    }
    ::close(queued);

    // A database the server does not have is missing, as a file would be.
    const QString none = server.connectionString(server.dataFolder() + "/NONE.GDB");
    a = openWith(none, server.password());
    EXPECT_EQ(firstLine(a.message), "Базата данни „" + none + "“ липсва: няма такъв файл.");
}

TEST(FbServerConnectTest, ServersKeepApartAndEndWithTheirTest) {
    TFbServer one;
    TFbServer two;
    one.start();
    two.start();
    EXPECT_NE(one.port(), two.port());
    EXPECT_NE(one.password(), two.password());
    const QString path = two.dataFolder() + "/NUV.GDB";
    ASSERT_EQ(two.createDatabase(two.connectionString(path)).exitCode, 0);
    // Each has its own users: the other's password does not open it.
    EXPECT_TRUE(openWith(two.connectionString(path), two.password()).message.isEmpty());
    EXPECT_TRUE(openWith(two.connectionString(path), one.password()).message.contains("отказа"));
    one.stop();
    EXPECT_FALSE(one.running());
    EXPECT_TRUE(openWith(two.connectionString(path), two.password()).message.isEmpty());

    // A test program that is killed takes its server with it.
    QProcess child;
    child.start(FBSERVER_CHILD, {});
    ASSERT_TRUE(child.waitForReadyRead(60000));
    const QStringList said = QString::fromLocal8Bit(child.readLine()).trimmed().split(' ');
    ASSERT_EQ(said.size(), 2);
    const QString database = QStringLiteral("127.0.0.1/%1:%2/data/X.GDB").arg(said[0], said[1]);
    EXPECT_TRUE(openWith(database, "x").message.contains("отказа"));
    child.kill();
    child.waitForFinished();
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = openWith(database, "x").message.contains("не отговаря");
        if (!gone)
            ::usleep(100 * 1000);
    }
    EXPECT_TRUE(gone) << "the killed test's server still answers on " << said[0].toStdString();
    QDir(said[1]).removeRecursively();
}

// A workstation whose user and password are in its environment gives none
// of its own.
TEST(FbServerConnectTest, TheEnvironmentsUserAndPasswordServeWhenNoneIsGiven) {
    TFbServer server;
    server.start();
    const QString path = server.dataFolder() + "/NUV.GDB";
    ASSERT_EQ(server.createDatabase(server.connectionString(path)).exitCode, 0);
    const QByteArray user = qgetenv("ISC_USER");
    const QByteArray password = qgetenv("ISC_PASSWORD");
    qputenv("ISC_USER", server.user().toUtf8());
    qputenv("ISC_PASSWORD", server.password().toUtf8());
    EXPECT_TRUE(openWith(server.connectionString(path), {}, {}).message.isEmpty());
    qputenv("ISC_PASSWORD", "not-this-one");
    EXPECT_TRUE(openWith(server.connectionString(path), {}, {}).message.contains("отказа"));
    // A password given is the one used.
    EXPECT_TRUE(openWith(server.connectionString(path), server.password()).message.isEmpty());
    for (const auto& [name, value] : {std::pair{"ISC_USER", user}, {"ISC_PASSWORD", password}}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

TEST(FbServerConnectTest, AServerThatCannotTakeItsPortSaysSo) {
    TFbServer server;
    server.start();
    server.kill();
    const SilentPort taken(8, server.port());
    ASSERT_EQ(taken.port(), server.port());
    try {
        server.restart();
        ADD_FAILURE() << "started on a taken port";
    } catch (const std::runtime_error& e) {
        const QString said = QString::fromUtf8(e.what());
        EXPECT_TRUE(said.contains(QString::number(server.port()))) << e.what();
        EXPECT_FALSE(said.contains(server.password()));
    }
    EXPECT_FALSE(server.running());
}

} // namespace

namespace {

TEST(FbServerAddressTest, EveryServerFormNamesItsHostAndPort) {
    const auto is = [](const QString& s, const QString& host, const QString& port) {
        const FbServerAddress a = FbServerAddress::parse(s);
        EXPECT_EQ(a.host, host) << s.toStdString();
        EXPECT_EQ(a.port, port) << s.toStdString();
        EXPECT_EQ(FbEngine::isServer(s), !host.isEmpty()) << s.toStdString();
    };
    is("lab-server:/var/lib/firebird/3.0/data/NUV.GDB", "lab-server", "3050");
    is("192.168.1.20/3051:/srv/NUV.GDB", "192.168.1.20", "3051");
    is("lab/gds_db:/srv/NUV.GDB", "lab", "gds_db");
    is("inet://lab:3052//srv/NUV.GDB", "lab", "3052");
    is("inet://lab/nuv", "lab", "3050");
    is("inet4://10.0.0.5:3055/nuv", "10.0.0.5", "3055");
    is("[::1]/3053:/srv/NUV.GDB", "::1", "3053");
    is("/home/lab/NUV.GDB", "", "3050");
    is("NUV.GDB", "", "3050");
}

// A server sends the system's error about its file as text only.
TEST(FbServerAddressTest, TheServersFileErrorsAreReadFromItsText) {
    using FbConnectError::Cause;
    const auto io = [](const char* system) {
        return EDatabaseError(QStringLiteral("I/O error during \"open\" operation for file "
                                             "\"/srv/NUV.GDB\"\r\nError while trying to open "
                                             "file\r\n") +
                                  QLatin1String(system),
                              {isc_io_error, isc_io_open_err});
    };
    const QString server = "lab/3050:/srv/NUV.GDB";
    EXPECT_EQ(FbConnectError::classify(server, io("No such file or directory")), Cause::Missing);
    EXPECT_EQ(FbConnectError::classify(server, io("Permission denied")), Cause::NoPermission);
    EXPECT_EQ(FbConnectError::classify(server, io("Too many open files")), Cause::Other);
    EXPECT_EQ(FbConnectError::classify(server, EDatabaseError("x", {isc_login})),
              Cause::LoginRefused);
    EXPECT_EQ(FbConnectError::classify(server, EDatabaseError("x", {isc_net_read_err})),
              Cause::Unreachable);
}

} // namespace
