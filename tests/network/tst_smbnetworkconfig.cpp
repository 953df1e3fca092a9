// The real network's settings, credentials and list files and machine names: every way they
// can be wrong is refused before any machine is contacted.
#include "base/VcError.h"
#include "network/MachineList.h"
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
    void protectedFiles_data();
    void protectedFiles();
    void createNetworkChecksEverything();
    void machineNames_data();
    void machineNames();
    void usableNamesDropDuplicatesInAnyCase();
    void listFile_data();
    void listFile();
};

void TstSmbNetworkConfig::settings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::addColumn<QString>("machines");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("parallel");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("realm"); // what Kerberos uses; "-": NTLM

    QTest::newRow("full, with comments")
        << "; the lab\n[Network]\nMachines = ldaps://dc1.corp.example/DC=corp,DC=example   ; the directory\n"
           "Credentials = /etc/vc/reader.cred ; file\nDomain = CORP\nTimeout = 7\nParallel = 3\n"
        << ""
        << "ldaps://dc1.corp.example/DC=corp,DC=example" << true << 7 << 3 << "CORP"
        << "CORP.EXAMPLE";
    QTest::newRow("defaults, keys in any case, BOM, CRLF")
        << "\xEF\xBB\xBF[network]\r\nMACHINES=/srv/list.txt\r\ncredentials=kerberos\r\n"
        << ""
        << "/srv/list.txt" << false << 5 << 16 << ""
        << "";
    QTest::newRow("two directory servers, realm given")
        << "[Network]\nMachines=ldaps://dc1/DC=lab,DC=example  LDAP://dc2/DC=lab,DC=example\nCredentials=c\n"
           "Realm=AD.LAB.EXAMPLE\n"
        << ""
        << "ldaps://dc1/DC=lab,DC=example LDAP://dc2/DC=lab,DC=example" << true << 5 << 16 << ""
        << "AD.LAB.EXAMPLE";
    QTest::newRow("NTLM by choice") << "[Network]\nMachines=/m\nCredentials=c\nAuthentication = NTLM\n"
                                    << ""
                                    << "/m" << false << 5 << 16 << ""
                                    << "-";
    QTest::newRow("encryption required") << "[Network]\nMachines=/m\nCredentials=c\nEncryption=Required\n"
                                         << ""
                                         << "/m" << false << 5 << 16 << ""
                                         << "";
    QTest::newRow("directory without a base DN")
        << "[Network]\nMachines=ldaps://dc1.corp.example\nCredentials=kerberos\n"
        << "needs the base DN"
        << "" << false << 0 << 0 << ""
        << "";
    QTest::newRow("a second server that is no URL")
        << "[Network]\nMachines=ldaps://dc1/DC=a dc2\nCredentials=c\n"
        << "\"dc2\" is not an ldap:// or ldaps:// URL"
        << "" << false << 0 << 0 << ""
        << "";
    QTest::newRow("other sections ignored") << "[Other]\nMachines=x\nWhatever=1\n[Network]\nMachines=/"
                                               "m\nCredentials=kerberos\n[More]\nTimeout=x\n"
                                            << ""
                                            << "/m" << false << 5 << 16 << ""
                                            << "";
    QTest::newRow("no section") << "Machines=/m\nCredentials=kerberos\n"
                                << "no [Network] section"
                                << "" << false << 0 << 0 << ""
                                << "";
    QTest::newRow("no machines") << "[Network]\nCredentials=kerberos\n"
                                 << "Machines is not set"
                                 << "" << false << 0 << 0 << ""
                                 << "";
    QTest::newRow("no credentials") << "[Network]\nMachines=/m\n"
                                    << "Credentials is not set"
                                    << "" << false << 0 << 0 << ""
                                    << "";
    QTest::newRow("misspelt key") << "[Network]\nMachines=/m\nCredentials=kerberos\nTimout=5\n"
                                  << "line 4: unknown key \"Timout\""
                                  << "" << false << 0 << 0 << ""
                                  << "";
    QTest::newRow("unknown authentication") << "[Network]\nMachines=/m\nCredentials=c\nAuthentication=basic\n"
                                            << "line 4: Authentication must be kerberos or ntlm"
                                            << "" << false << 0 << 0 << ""
                                            << "";
    QTest::newRow("encryption off is no choice") << "[Network]\nMachines=/m\nCredentials=c\nEncryption=off\n"
                                                 << "Encryption must be auto or required"
                                                 << "" << false << 0 << 0 << ""
                                                 << "";
    QTest::newRow("realm with a space") << "[Network]\nMachines=/m\nCredentials=c\nRealm=LAB EXAMPLE\n"
                                        << "Realm is not a Kerberos realm name"
                                        << "" << false << 0 << 0 << ""
                                        << "";
    QTest::newRow("own tickets need Kerberos")
        << "[Network]\nMachines=/m\nCredentials=kerberos\nAuthentication=ntlm\n"
        << "Credentials = kerberos needs Authentication = kerberos"
        << "" << false << 0 << 0 << ""
        << "";
    QTest::newRow("timeout zero") << "[Network]\nMachines=/m\nCredentials=kerberos\nTimeout=0\n"
                                  << "Timeout must be a whole number from 1 to 300"
                                  << "" << false << 0 << 0 << ""
                                  << "";
    QTest::newRow("parallel too many") << "[Network]\nMachines=/m\nCredentials=kerberos\nParallel=1000\n"
                                       << "Parallel must be a whole number from 1 to 64"
                                       << "" << false << 0 << 0 << ""
                                       << "";
    QTest::newRow("line without =") << "[Network]\nMachines /m\n"
                                    << "line 2 is not Key = value"
                                    << "" << false << 0 << 0 << ""
                                    << "";
    QTest::newRow("broken header") << "[Network\nMachines=/m\n"
                                   << "section header"
                                   << "" << false << 0 << 0 << ""
                                   << "";
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
        QFETCH(QString, realm);
        QCOMPARE(directory ? config.directories.join(' ') : config.listFile, machines);
        QCOMPARE(config.machinesFromDirectory(), directory);
        QCOMPARE(config.kerberos(), realm != "-");
        if (realm != "-")
            QCOMPARE(config.settingsRealm(), realm);
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
    QCOMPARE(config.listFile, QString("/etc/vc/lists/machines.txt"));
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
    QTest::newRow("UPN as written") << QByteArray("username=reader@corp.example\npassword=x\n") << ""
                                    << QByteArray("reader@corp.example") << QByteArray() << QByteArray("x");
    QTest::newRow("half a UPN") << QByteArray("username=reader@\npassword=x\n") << "not a UPN" << QByteArray()
                                << QByteArray() << QByteArray();
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

void TstSmbNetworkConfig::protectedFiles_data() {
    // Whoever can change the settings, the list or the CA can send the password elsewhere;
    // whoever can read the credentials has it.
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    const QString closed = "must not be accessible by group or others";
    const QString writable = "must not be writable by group or others";
    QTest::newRow("credentials 0600") << "reader.cred" << 0600 << "";
    QTest::newRow("credentials 0400") << "reader.cred" << 0400 << "";
    QTest::newRow("credentials group readable") << "reader.cred" << 0640 << closed;
    QTest::newRow("credentials world readable") << "reader.cred" << 0604 << closed;
    QTest::newRow("credentials group writable") << "reader.cred" << 0620 << closed;
    QTest::newRow("settings 0600") << "network.ini" << 0600 << "";
    QTest::newRow("settings world readable") << "network.ini" << 0644 << closed;
    QTest::newRow("settings group writable") << "network.ini" << 0660 << closed;
    QTest::newRow("list 0600") << "machines.txt" << 0600 << "";
    QTest::newRow("list world writable") << "machines.txt" << 0666 << closed;
    QTest::newRow("CA readable by all") << "ca.pem" << 0644 << "";
    QTest::newRow("CA group writable") << "ca.pem" << 0664 << writable;
}

void TstSmbNetworkConfig::protectedFiles() {
    QFETCH(QString, file);
    QFETCH(int, mode);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile out(dir.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();
        QCOMPARE(
            ::chmod(QFile::encodeName(dir.filePath(name)).constData(), name == file ? mode_t(mode) : 0600),
            0);
    };
    write("reader.cred", "username=reader\npassword=Hunter2-Secret\n");
    write("machines.txt", "WS1\n");
    write("ca.pem", "-----BEGIN CERTIFICATE-----\n");
    write("network.ini", "[Network]\nMachines=machines.txt\nCredentials=reader.cred\nRealm=LAB.EXAMPLE\n"
                         "CACertificate=ca.pem\n");
    try {
        const SmbNetworkConfig config = SmbNetworkConfig::load(dir.filePath("network.ini"));
        const SmbCredentials credentials = SmbCredentials::load(config.credentials);
        QCOMPARE(MachineList::read(config.listFile).names, QStringList{"WS1"});
        QVERIFY2(refusal.isEmpty(), "accepted what should be refused");
        QCOMPARE(QByteArray(credentials.password()), QByteArray("Hunter2-Secret"));
    } catch (const VcError& e) {
        QVERIFY2(!refusal.isEmpty(), qPrintable(e.description()));
        QVERIFY2(e.description().contains(refusal), qPrintable(e.description()));
        QVERIFY(e.description().contains(dir.filePath(file)));
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
    write("machines.txt", "WS1\n", 0600);
    write("ok.cred", "username=u\npassword=Pw-Secret\n", 0600);
    write("open.cred", "username=u\npassword=Pw-Secret\n", 0644);
    write("good.ini", "[Network]\nMachines=machines.txt\nCredentials=ok.cred\nRealm=LAB.EXAMPLE\n", 0600);
    write("open.ini", "[Network]\nMachines=machines.txt\nCredentials=open.cred\nRealm=LAB.EXAMPLE\n", 0600);
    write("missing.ini", "[Network]\nMachines=machines.txt\nCredentials=none.cred\n", 0600);
    // Kerberos with a list of machines and a NetBIOS domain: no realm, so no start (and no
    // quiet fall back to NTLM).
    write("norealm.ini", "[Network]\nMachines=machines.txt\nCredentials=ok.cred\nDomain=LAB\n", 0600);

    auto network = createNetwork("smb:" + dir.filePath("good.ini"), dir.path());
    QVERIFY(network);
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("open.ini"), dir.path()));
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("missing.ini"), dir.path()));
    QVERIFY_THROWS_EXCEPTION(VcError, createNetwork("smb:" + dir.filePath("norealm.ini"), dir.path()));
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
    QTest::addColumn<QString>("used"); // empty: refused
    QTest::newRow("short") << "WS001"
                           << "WS001";
    QTest::newRow("dns") << "ws-01.corp.example"
                         << "ws-01.corp.example";
    QTest::newRow("fully qualified, trailing dot") << "ws1.corp.example."
                                                   << "ws1.corp.example";
    QTest::newRow("underscore") << "LAB_PC"
                                << "LAB_PC";
    QTest::newRow("dotted address") << "10.1.2.3"
                                    << "10.1.2.3";
    QTest::newRow("IPv6") << "fd00::1:5"
                          << "fd00::1:5";
    QTest::newRow("IPv6 in brackets") << "[2001:db8::7]"
                                      << "2001:db8::7";
    QTest::newRow("all digits: an address in disguise") << "2130706433"
                                                        << "";
    QTest::newRow("hex") << "0x7f000001"
                         << "";
    QTest::newRow("short dotted") << "127.1"
                                  << "";
    QTest::newRow("octal dotted") << "010.0.0.1"
                                  << "";
    QTest::newRow("IPv6 zone") << "fe80::1%eth0"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("slash") << "ws/../x"
                           << "";
    QTest::newRow("backslash") << "ws\\share"
                               << "";
    QTest::newRow("url parts") << "ws:445"
                               << "";
    QTest::newRow("at") << "user@ws"
                        << "";
    QTest::newRow("space") << "ws 1"
                           << "";
    QTest::newRow("brackets") << "ws[svcctl]"
                              << "";
    QTest::newRow("leading dot") << ".ws"
                                 << "";
    QTest::newRow("leading dash") << "-ws"
                                  << "";
    QTest::newRow("double dot") << "ws..corp"
                                << "";
    QTest::newRow("two trailing dots") << "ws.."
                                       << "";
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("wé") << "";
    QTest::newRow("NUL") << QString("ws") + QChar(0) << "";
    QTest::newRow("too long") << QString(256, 'a') << "";
    QTest::newRow("longest") << QString(255, 'a') << QString(255, 'a');
}

void TstSmbNetworkConfig::machineNames() {
    QFETCH(QString, name);
    QFETCH(QString, used);
    QCOMPARE(MachineName::isValid(name), !used.isEmpty());
    QCOMPARE(MachineName::usable({name}), used.isEmpty() ? QStringList() : QStringList{used});
}

void TstSmbNetworkConfig::usableNamesDropDuplicatesInAnyCase() {
    QList<MachineName::Skipped> skipped;
    QCOMPARE(MachineName::usable({"WS1", "ws2", "ws1", "bad name", "WS2.corp", "Ws2", "ws2.corp.", "123"},
                                 &skipped),
             QStringList({"WS1", "ws2", "WS2.corp"}));
    // Refused names are named, each with its reason.
    QCOMPARE(skipped.size(), 2);
    QCOMPARE(skipped[0].name, QString("bad name"));
    QCOMPARE(skipped[0].reason, QString("it may hold only letters, digits, '-', '.' and '_'"));
    QCOMPARE(skipped[1].name, QString("123"));
    QCOMPARE(skipped[1].reason, QString("a number, not a name: it would be taken for the address 0.0.0.123"));
    QVERIFY(MachineName::same("Ws1.Corp", "wS1.cORP"));
    QVERIFY(!MachineName::same("ws1", "ws10"));
}

void TstSmbNetworkConfig::listFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("skipped");
    const auto utf16 = [](const QString& text, bool littleEndian) {
        QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xff);
            bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
        }
        return bytes;
    };
    QTest::newRow("plain, comments, blanks") << QByteArray("# lab\nws1\n\n  ws2  # the second\nws1\n")
                                             << QStringList{"ws1", "ws2"} << QStringList{};
    QTest::newRow("UTF-8 with BOM, CRLF") << QByteArray("\xEF\xBB\xBFws1\r\nws2.lab.example.\r\n")
                                          << QStringList{"ws1", "ws2.lab.example"} << QStringList{};
    QTest::newRow("UTF-16 little endian (Notepad)")
        << utf16("ws1\r\nfd00::5\r\n", true) << QStringList{"ws1", "fd00::5"} << QStringList{};
    QTest::newRow("UTF-16 big endian")
        << utf16("ws1\nws2\n", false) << QStringList{"ws1", "ws2"} << QStringList{};
    QTest::newRow("refused names are named")
        << QByteArray("ws1\n2130706433\nws 3\nws4\n") << QStringList{"ws1", "ws4"}
        << QStringList{"2130706433", "ws 3"};
    QTest::newRow("empty") << QByteArray() << QStringList{} << QStringList{};
}

void TstSmbNetworkConfig::listFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(QStringList, skipped);
    const MachineList::Contents contents = MachineList::parse(bytes);
    QCOMPARE(contents.names, names);
    QStringList refused;
    for (const MachineName::Skipped& s : contents.skipped)
        refused << s.name;
    QCOMPARE(refused, skipped);
}

QTEST_GUILESS_MAIN(TstSmbNetworkConfig)
#include "tst_smbnetworkconfig.moc"
