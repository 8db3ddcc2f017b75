// pellumctl send and ports, run as a user would run them, against a reply
// server on 127.0.0.1.
#include "TestSupport.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out, err;
};

CliRun Pellumctl(const QStringList& args, const QString& filesFolder = QString()) {
    QProcess p;
    QStringList all;
    if (!filesFolder.isEmpty())
        all << QStringLiteral("--files") << filesFolder;
    all += args;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PELLUM_READ_TIMEOUT_MS"), QStringLiteral("300"));
    env.insert(QStringLiteral("PELLUM_LANGID"), QStringLiteral("1033"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PELLUMCTL_PATH), all);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// Accepts one connection at a time on 127.0.0.1, records what arrives and
// answers every received chunk with `reply`.
class ReplyServer {
public:
    explicit ReplyServer(QByteArray reply) : m_reply(std::move(reply)) {
        m_thread = std::thread([this] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            m_port = server.serverPort();
            while (!m_stop) {
                if (!server.waitForNewConnection(50))
                    continue;
                QTcpSocket* s = server.nextPendingConnection();
                while (s->state() == QAbstractSocket::ConnectedState && !m_stop) {
                    if (s->waitForReadyRead(50)) {
                        QByteArray got = s->readAll();
                        {
                            std::lock_guard<std::mutex> lock(m_mutex);
                            m_received += got;
                        }
                        s->write(m_reply);
                        s->waitForBytesWritten(1000);
                    }
                }
                delete s;
            }
        });
        while (m_port == 0)
            std::this_thread::yield();
    }
    ~ReplyServer() {
        m_stop = true;
        m_thread.join();
    }
    int port() const { return m_port; }
    QByteArray received() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    QByteArray m_reply;
    std::atomic<int> m_port{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};

TEST(Pellumctl, SendWritesTheBytesAndPrintsTheReplyInHex) {
    ReplyServer server(QByteArray("\x01\xAB", 2));
    const QString port = QStringLiteral("NET,127.0.0.1:%1").arg(server.port());
    CliRun r =
        Pellumctl({QStringLiteral("--port"), port, QStringLiteral("send"), QStringLiteral("--hex"),
                   QStringLiteral("1B 1B 08"), QStringLiteral("--read"), QStringLiteral("2")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("01 AB"));
    EXPECT_EQ(server.received(), QByteArray("\x1B\x1B\x08", 3));

    for (const char* lib : {"esc", "tspl"}) {
        CliRun t = Pellumctl({QStringLiteral("--lib"), QString::fromLatin1(lib),
                              QStringLiteral("--port"), port, QStringLiteral("send"),
                              QStringLiteral("--text"), QStringLiteral("ZZZGETVERSION\\r\\n"),
                              QStringLiteral("--read"), QStringLiteral("2")});
        EXPECT_EQ(t.exitCode, 0) << lib << t.err.toStdString();
        EXPECT_EQ(t.out.trimmed(), QStringLiteral("01 AB")) << lib;
    }
    EXPECT_TRUE(server.received().endsWith("ZZZGETVERSION\r\n"));
}

TEST(Pellumctl, PrinterEntryGivesModelAndPort) {
    ReplyServer server(QByteArray("\x07", 1));
    pellum::test::TempProgramFolder folder;
    folder.writeFile(
        QStringLiteral("PrinterList.txt"),
        QStringLiteral("\r\nPL-Nutmeg 200|USB|USB\r\n\r\nPL-Oak 50|NET|NET,127.0.0.1:%1\r\n")
            .arg(server.port())
            .toUtf8());
    CliRun r = Pellumctl({QStringLiteral("--printer"), QStringLiteral("2"), QStringLiteral("send"),
                          QStringLiteral("--hex"), QStringLiteral("1B1B08"),
                          QStringLiteral("--read"), QStringLiteral("1")},
                         folder.filesFolder());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("07"));
    CliRun missing =
        Pellumctl({QStringLiteral("--printer"), QStringLiteral("3"), QStringLiteral("ports")},
                  folder.filesFolder());
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("has no entry 3")))
        << missing.err.toStdString();
}

TEST(Pellumctl, FailedOpenPrintsMessageAndCodeAndExitsOne) {
    // A port on 127.0.0.1 that nobody listens on: the connection is refused.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 unused = probe.serverPort();
    probe.close();
    CliRun r = Pellumctl({QStringLiteral("--port"), QStringLiteral("NET,127.0.0.1:%1").arg(unused),
                          QStringLiteral("send"), QStringLiteral("--hex"), QStringLiteral("00")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral(":11"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("refused"))) << r.err.toStdString();
}

TEST(Pellumctl, UsageErrorsExitTwo) {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("--bogus"), QStringLiteral("send")},
        {QStringLiteral("nosuchcommand")},
        {QStringLiteral("send")},
        {QStringLiteral("send"), QStringLiteral("--hex"), QStringLiteral("1G")},
        {QStringLiteral("send"), QStringLiteral("--hex"), QStringLiteral("123")},
        {QStringLiteral("--lib"), QStringLiteral("zpl"), QStringLiteral("send"),
         QStringLiteral("--hex"), QStringLiteral("00")},
        {QStringLiteral("--printer"), QStringLiteral("x"), QStringLiteral("ports")},
    };
    for (const QStringList& args : cases) {
        CliRun r = Pellumctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
}

TEST(Pellumctl, PortsListsEditorNamesWithTheirDevices) {
    pellum::test::TempProgramFolder folder;
    folder.writeFile(QStringLiteral("PortMap.ini"),
                     "[Ports]\nCOM9=/tmp/pellum-test-pty\nLPT3=/tmp/lp-x\n");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PELLUM_PORTMAP"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PELLUMCTL_PATH),
            {QStringLiteral("--files"), folder.filesFolder(), QStringLiteral("ports")});
    p.waitForFinished(20000);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("COM9:\t/tmp/pellum-test-pty"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("LPT3:\t/tmp/lp-x"))) << out.toStdString();
}

} // namespace
