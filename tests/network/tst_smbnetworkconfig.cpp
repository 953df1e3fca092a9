// The real network's settings file, credentials file and machine names: every way they can be
// wrong is refused before any machine is contacted.
#include "base/VcError.h"
#include "network/MachineName.h"
#include "network/NetworkFactory.h"
#include "network/SmbCredentials.h"
#include "network/SmbNetworkConfig.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TstSmbNetworkConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void settings_data();
    void settings();
    void relativePathsFollowTheSettingsFile();
    void credentials_data();
    void credentials();
    void credentialsFilePermissions_data();
    void credentialsFilePermissions();
    void createNetworkChecksEverything();
    void machineNames_data();
    void machineNames();
    void usableNamesDropDuplicatesInAnyCase();
};

void TstSmbNetworkConfig::settings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<QString>("machines");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("parallel");
    QTest::addColumn<QString>("domain");

    QTest::newRow("full, with comments")
        << "; the lab\n[Network]\nMachines = ldaps://dc1.corp.example/DC=corp,DC=example   ; the directory\n"
           "Credentials = /etc/vc/reader.cred ; file\nDomain = CORP\nTimeout = 7\nParallel = 3\n"
        << ""
        << "ldaps://dc1.corp.example/DC=corp,DC=example" << true << 7 << 3 << "CORP";
    QTest::newRow("defaults, keys in any case, BOM, CRLF")
        << "\xEF\xBB\xBF[network]\r\nMACHINES=/srv/list.txt\r\ncredentials=kerberos\r\n"
        << ""
        << "/srv/list.txt" << false << 5 << 16 << "";
    QTest::newRow("ldap with StartTLS") << "[Network]\nMachines=LDAP://dc/DC=a\nCredentials=kerberos\n"
                                        << ""
                                        << "LDAP://dc/DC=a" << true << 5 << 16 << "";
    QTest::newRow("directory without a base DN")
        << "[Network]\nMachines=ldaps://dc1.corp.example\nCredentials=kerberos\n"
        << "needs the base DN"
        << "" << false << 0 << 0 << "";
    QTest::newRow("other sections ignored") << "[Other]\nMachines=x\nWhatever=1\n[Network]\nMachines=/"
                                               "m\nCredentials=kerberos\n[More]\nTimeout=x\n"
                                            << ""
                                            << "/m" << false << 5 << 16 << "";
    QTest::newRow("no section") << "Machines=/m\nCredentials=kerberos\n"
                                << "no [Network] section"
                                << "" << false << 0 << 0 << "";
    QTest::newRow("no machines") << "[Network]\nCredentials=kerberos\n"
                                 << "Machines is not set"
                                 << "" << false << 0 << 0 << "";
    QTest::newRow("no credentials") << "[Network]\nMachines=/m\n"
                                    << "Credentials is not set"
                                    << "" << false << 0 << 0 << "";
    QTest::newRow("misspelt key") << "[Network]\nMachines=/m\nCredentials=kerberos\nTimout=5\n"
                                  << "line 4: unknown key \"Timout\""
                                  << "" << false << 0 << 0 << "";
    QTest::newRow("timeout zero") << "[Network]\nMachines=/m\nCredentials=kerberos\nTimeout=0\n"
                                  << "Timeout must be a whole number from 1 to 300"
                                  << "" << false << 0 << 0 << "";
    QTest::newRow("timeout text") << "[Network]\nMachines=/m\nCredentials=kerberos\nTimeout=five\n"
                                  << "Timeout must be"
                                  << "" << false << 0 << 0 << "";
    QTest::newRow("parallel too many") << "[Network]\nMachines=/m\nCredentials=kerberos\nParallel=1000\n"
                                       << "Parallel must be a whole number from 1 to 64"
                                       << "" << false << 0 << 0 << "";
    QTest::newRow("parallel negative") << "[Network]\nMachines=/m\nCredentials=kerberos\nParallel=-1\n"
                                       << "Parallel must be"
                                       << "" << false << 0 << 0 << "";
    QTest::newRow("line without =") << "[Network]\nMachines /m\n"
                                    << "line 2 is not Key = value"
                                    << "" << false << 0 << 0 << "";
    QTest::newRow("broken header") << "[Network\nMachines=/m\n"
                                   << "section header"
                                   << "" << false << 0 << 0 << "";
}

void TstSmbNetworkConfig::settings() {
    QFETCH(QString, text);
    QFETCH(QString, error);
    try {
        const SmbNetworkConfig config = SmbNetworkConfig::parse(text, "/etc/vc/network.ini");
        QVERIFY2(error.isEmpty(), "accepted what should be refused");
        QFETCH(QString, machines);
        QFETCH(bool, directory);
        QFETCH(int, timeout);
        QFETCH(int, parallel);
        QFETCH(QString, domain);
        QCOMPARE(config.machines, machines);
        QCOMPARE(config.machinesFromDirectory(), directory);
        QCOMPARE(config.timeoutSeconds, timeout);
        QCOMPARE(config.parallel, parallel);
        QCOMPARE(config.domain, domain);
    } catch (const VcError& e) {
        QVERIFY2(!error.isEmpty(), qPrintable(e.description()));
        QVERIFY2(e.description().contains(error), qPrintable(e.description()));
        QVERIFY(e.description().contains("/etc/vc/network.ini"));
    }
}

void TstSmbNetworkConfig::relativePathsFollowTheSettingsFile() {
    const SmbNetworkConfig config = SmbNetworkConfig::parse(
        "[Network]\nMachines=lists/machines.txt\nCredentials=../reader.cred\n", "/etc/vc/network.ini");
    QCOMPARE(config.machines, QString("/etc/vc/lists/machines.txt"));
    QCOMPARE(config.credentials, QString("/etc/reader.cred"));
    QVERIFY_THROWS_EXCEPTION(VcError, SmbNetworkConfig::load("/nonexistent/network.ini"));
}

void TstSmbNetworkConfig::credentials_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("domain");
    QTest::addColumn<QByteArray>("password");

    QTest::newRow("smbclient style") << QByteArray(
                                            "username = reader\npassword = p=ss word;#x\ndomain = CORP\n")
                                     << "" << QByteArray("reader") << QByteArray("CORP")
                                     << QByteArray("p=ss word;#x");
    QTest::newRow("CRLF and comments") << QByteArray("# reader\r\nusername=r\r\npassword=Secr3t\r\n") << ""
                                       << QByteArray("r") << QByteArray() << QByteArray("Secr3t");
    QTest::newRow("domain in the user name") << QByteArray("username=CORP\\reader\npassword=x\n") << ""
                                             << QByteArray("reader") << QByteArray("CORP") << QByteArray("x");
    QTest::newRow("principal form") << QByteArray("username=reader@corp.example\npassword=x\n") << ""
                                    << QByteArray("reader") << QByteArray("corp.example") << QByteArray("x");
    QTest::newRow("domain line wins") << QByteArray("username=OTHER\\reader\npassword=x\ndomain=CORP\n") << ""
                                      << QByteArray("reader") << QByteArray("CORP") << QByteArray("x");
    QTest::newRow("empty password allowed") << QByteArray("username=guest\npassword=\n") << ""
                                            << QByteArray("guest") << QByteArray() << QByteArray();
    QTest::newRow("no password line") << QByteArray("username=reader\n") << "no password= line"
                                      << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("no user") << QByteArray("password=TopSecret\n") << "no username= line" << QByteArray()
                             << QByteArray() << QByteArray();
    QTest::newRow("garbage line") << QByteArray("username=u\nTopSecret\npassword=x\n")
                                  << "line 2 is not key=value" << QByteArray() << QByteArray()
                                  << QByteArray();
    QTest::newRow("NUL inside") << QByteArray("username=u\npassword=Top\0Secret\n", 30) << "NUL"
                                << QByteArray() << QByteArray() << QByteArray();
}

void TstSmbNetworkConfig::credentials() {
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    try {
        const SmbCredentials credentials = SmbCredentials::parse(text, "/etc/vc/reader.cred");
        QVERIFY2(error.isEmpty(), "accepted what should be refused");
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, domain);
        QFETCH(QByteArray, password);
        QCOMPARE(credentials.username(), user);
        QCOMPARE(credentials.domain(), domain);
        QCOMPARE(QByteArray(credentials.password()), password);
        QVERIFY(!credentials.useKerberos());
        const SmbCredentials copy = credentials; // copies keep their own secret
        QCOMPARE(QByteArray(copy.password()), password);
    } catch (const VcError& e) {
        QVERIFY2(!error.isEmpty(), qPrintable(e.description()));
        QVERIFY2(e.description().contains(error), qPrintable(e.description()));
        // Whatever went wrong, the message never repeats a secret from the file.
        QVERIFY(!e.description().contains("Secret"));
        QVERIFY(!e.description().contains("TopSecret"));
    }
}

void TstSmbNetworkConfig::credentialsFilePermissions_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0600") << 0600 << true;
    QTest::newRow("0400") << 0400 << true;
    QTest::newRow("group readable") << 0640 << false;
    QTest::newRow("world readable") << 0604 << false;
    QTest::newRow("group writable") << 0620 << false;
    QTest::newRow("world everything") << 0777 << false;
}

void TstSmbNetworkConfig::credentialsFilePermissions() {
    QFETCH(int, mode);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString path = dir.filePath("reader.cred");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("username=reader\npassword=Hunter2-Secret\n");
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    try {
        const SmbCredentials credentials = SmbCredentials::load(path);
        QVERIFY(accepted);
        QCOMPARE(QByteArray(credentials.password()), QByteArray("Hunter2-Secret"));
    } catch (const VcError& e) {
        QVERIFY2(!accepted, qPrintable(e.description()));
        QVERIFY2(e.description().contains("must not be accessible by group or others"),
                 qPrintable(e.description()));
        QVERIFY(e.description().contains(QString::number(mode, 8)));
        QVERIFY(!e.description().contains("Hunter2"));
    }
}

void TstSmbNetworkConfig::createNetworkChecksEverything() {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& text, int mode) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(dir.filePath(name)).constData(), mode_t(mode)), 0);
    };
    write("machines.txt", "WS1\n", 0644);
    write("ok.cred", "username=u\npassword=Pw-Secret\n", 0600);
    write("open.cred", "username=u\npassword=Pw-Secret\n", 0644);
    write("good.ini", "[Network]\nMachines=machines.txt\nCredentials=ok.cred\n", 0644);
    write("open.ini", "[Network]\nMachines=machines.txt\nCredentials=open.cred\n", 0644);
    write("missing.ini", "[Network]\nMachines=machines.txt\nCredentials=none.cred\n", 0644);

    auto network = createNetwork("smb:" + dir.filePath("good.ini"), dir.path());
    QVERIFY(network);
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("open.ini"), dir.path()));
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("missing.ini"), dir.path()));
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:", dir.path()));
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("none.ini"), dir.path()));

    // A name that could reach outside the share never gets as far as the network.
    QCOMPARE(network->services("..\\evil", Network::kServiceStateAll).stage,
             Network::ServiceStage::ManagerUnavailable);
    QVERIFY(!network->openShareFile("ws1/../x", "Data/VCWorkstation.mdb"));
    QVERIFY(!network->openShareFile("WS1", "../Data/VCWorkstation.mdb"));
}

void TstSmbNetworkConfig::machineNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("short") << "WS001" << true;
    QTest::newRow("dns") << "ws-01.corp.example" << true;
    QTest::newRow("underscore") << "LAB_PC" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("slash") << "ws/../x" << false;
    QTest::newRow("backslash") << "ws\\share" << false;
    QTest::newRow("url parts") << "ws:445" << false;
    QTest::newRow("at") << "user@ws" << false;
    QTest::newRow("space") << "ws 1" << false;
    QTest::newRow("brackets") << "ws[svcctl]" << false;
    QTest::newRow("leading dot") << ".ws" << false;
    QTest::newRow("leading dash") << "-ws" << false;
    QTest::newRow("double dot") << "ws..corp" << false;
    QTest::newRow("trailing dot") << "ws." << false;
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("wé") << false;
    QTest::newRow("NUL") << QString("ws") + QChar(0) << false;
    QTest::newRow("too long") << QString(256, 'a') << false;
    QTest::newRow("longest") << QString(255, 'a') << true;
}

void TstSmbNetworkConfig::machineNames() {
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(MachineName::isValid(name), valid);
}

void TstSmbNetworkConfig::usableNamesDropDuplicatesInAnyCase() {
    QCOMPARE(MachineName::usable({"WS1", "ws2", "ws1", "bad name", "WS2.corp", "Ws2"}),
             QStringList({"WS1", "ws2", "WS2.corp"}));
    QVERIFY(MachineName::same("Ws1.Corp", "wS1.cORP"));
    QVERIFY(!MachineName::same("ws1", "ws10"));
}

QTEST_GUILESS_MAIN(TstSmbNetworkConfig)
#include "tst_smbnetworkconfig.moc"
