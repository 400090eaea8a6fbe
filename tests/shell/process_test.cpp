// The real program as a process: a close signal saves everything like the close box does.
#include "ownnetwork.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <csignal>
#include <functional>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The program owns the mail port on every address once its endpoint is open: then no one else can
// bind it.
bool PortTaken() {
    QUdpSocket probe;
    return !probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 20595);
}

// Datagrams waiting in the mail port's receive queue, as the kernel reports them; -1 when no socket
// is bound to the port.
int WaitingOnMailPort() {
    for (const char* table : {"/proc/net/udp6", "/proc/net/udp"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 4 && fields[1].endsWith(":5073")) // 20595
                return fields[4].split(':').value(1).toInt(nullptr, 16);
        }
    }
    return -1;
}

} // namespace

class ProcessTest : public QObject {
    Q_OBJECT

public:
    // Runs before the application object exists: the mail port is then ours alone.
    static void initMain() { varnel::EnterOwnNetwork(); }

private Q_SLOTS:
    void aCloseSignalSavesLikeTheCloseBox_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void aCloseSignalSavesLikeTheCloseBox() {
        QFETCH(int, signal);
        const QByteArray host = QSysInfo::machineHostName().toLatin1();
        if (host.isEmpty() || host.size() > 29)
            QSKIP("this machine's name does not fit the host table");
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("config"));
        const QString data = dir.filePath(QStringLiteral("data"));
        WriteFile(config + QStringLiteral("/kobu/network.txt"), "OFFICE " + host + " 127.0.0.1\n");
        const QByteArray seeded = "\x07S\\memo\\" + host + "\\pc9\\1998/02/23 9:00:00\\\x08see you\r\n";
        const QString mail = data + QStringLiteral("/kobu/varnel/");
        WriteFile(mail + QStringLiteral("vnsend.txt"), seeded);
        QVERIFY2(!PortTaken(), "another program holds the mail port");

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VARNEL_BINARY), {});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(PortTaken(), 15000);
        QTest::qWait(1000); // past the start-up steps

        // A mail from this machine to itself, and both receipts for the stored mail.
        QUdpSocket peer;
        const auto send = [&](const QByteArray& text) {
            peer.writeDatagram(text + '\0', QHostAddress(QStringLiteral("127.0.0.1")), 20595);
        };
        const QByteArray header = "\x07S\\hello\\" + host + "\\" + host + "\\1998/02/23 9:05:07\\\x08";
        send(header + "two\r\nlines\r\n");
        send("\x07G\\memo\\" + host + "\\pc9\\1998/02/23 9:00:00\\\x08");
        send("\x07R\\memo\\" + host + "\\pc9\\1998/02/23 9:00:00\\1998/02/23 9:30:00\x08");
        // The next mail check takes them in; the close signal is handled only after that tick.
        QTRY_COMPARE_WITH_TIMEOUT(WaitingOnMailPort(), 0, 15000);

        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        QByteArray stored = header;
        stored[1] = 'G';
        QCOMPARE(ReadAll(mail + QStringLiteral("vnread.txt")), stored + "two\r\nlines\r\n");
        QCOMPARE(ReadAll(mail + QStringLiteral("vnsend.txt")),
                 "\x07R\\memo\\" + host + "\\pc9\\1998/02/23 9:00:00\\1998/02/23 9:30:00\x08see you\r\n");
        const QByteArray settings = ReadAll(config + QStringLiteral("/kobu/varnel.conf"));
        for (const char* value :
             {"Tray=0", "Popup=0", "Front=0", "SendFina=vnsend.txt", "ReadFina=vnread.txt"})
            QVERIFY2(settings.contains(value), settings.constData());
    }

    // A copy that cannot have the mail port waits at its warning; a close signal then ends it, and
    // it leaves no file behind.
    void aSignalEndsACopyWaitingAtItsStartUpWarning() {
        QTemporaryDir dir;
        QUdpSocket holder;
        QVERIFY2(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 20595, QUdpSocket::DontShareAddress),
                 "another program holds the mail port");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(VARNEL_BINARY), {});
        QVERIFY(program.waitForStarted());
        QTest::qWait(1500); // up to its warning box
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("data/kobu/varnel/vnsend.txt"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("data/kobu/varnel/vnread.txt"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("config/kobu/varnel.conf"))));
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "process_test.moc"
