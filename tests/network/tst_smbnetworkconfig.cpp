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
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
void writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text, int mode = 0600) {
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    QCOMPARE(::chmod(QFile::encodeName(file.fileName()).constData(), mode_t(mode)), 0);
}
} // namespace

class TstSmbNetworkConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void settings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");    // empty: accepted
        QTest::addColumn<QString>("machines"); // "directories|list file"
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("parallel");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("realm"); // what Kerberos uses; "-": NTLM
        const auto accepted = [](const char* tag, const QString& text, const QString& machines,
                                 const QString& realm = {}, int timeout = 5, int parallel = 16,
                                 const QString& domain = {}) {
            QTest::newRow(tag) << text << QString() << machines << timeout << parallel << domain << realm;
        };
        const auto refused = [](const char* tag, const QString& text, const QString& error) {
            QTest::newRow(tag) << text << error << QString() << 0 << 0 << QString() << QString();
        };
        const QString m = "[Network]\nMachines=/m\n";
        accepted(
            "full, with comments",
            "; the lab\n[Network]\nMachines = ldaps://dc1.corp.example/DC=corp,DC=example   ; the directory\n"
            "Credentials = /etc/vc/reader.cred ; file\nDomain = CORP\nTimeout = 7\nParallel = 3\n",
            "ldaps://dc1.corp.example/DC=corp,DC=example|", "CORP.EXAMPLE", 7, 3, "CORP");
        accepted("defaults, keys in any case, BOM, CRLF",
                 "\xEF\xBB\xBF[network]\r\nMACHINES=/srv/list.txt\r\ncredentials=kerberos\r\n",
                 "|/srv/list.txt");
        accepted(
            "two directory servers, realm given",
            "[Network]\nMachines=ldaps://dc1/DC=lab,DC=example  LDAP://dc2/DC=lab,DC=example\nCredentials=c\n"
            "Realm=AD.LAB.EXAMPLE\n",
            "ldaps://dc1/DC=lab,DC=example LDAP://dc2/DC=lab,DC=example|", "AD.LAB.EXAMPLE");
        accepted("NTLM by choice", m + "Credentials=c\nAuthentication = NTLM\n", "|/m", "-");
        accepted("encryption required", m + "Credentials=c\nEncryption=Required\n", "|/m");
        accepted("other sections ignored",
                 "[Other]\nMachines=x\nWhatever=1\n" + m + "Credentials=kerberos\n[More]\nTimeout=x\n",
                 "|/m");
        refused("directory without a base DN",
                "[Network]\nMachines=ldaps://dc1.corp.example\nCredentials=kerberos\n", "needs the base DN");
        refused("a second server that is no URL", "[Network]\nMachines=ldaps://dc1/DC=a dc2\nCredentials=c\n",
                "\"dc2\" is not an ldap:// or ldaps:// URL");
        refused("no section", "Machines=/m\nCredentials=kerberos\n", "no [Network] section");
        refused("no machines", "[Network]\nCredentials=kerberos\n", "Machines is not set");
        refused("no credentials", m, "Credentials is not set");
        refused("misspelt key", m + "Credentials=kerberos\nTimout=5\n", "line 4: unknown key \"Timout\"");
        refused("unknown authentication", m + "Credentials=c\nAuthentication=basic\n",
                "line 4: Authentication must be kerberos or ntlm");
        refused("encryption off is no choice", m + "Credentials=c\nEncryption=off\n",
                "Encryption must be auto or required");
        refused("realm with a space", m + "Credentials=c\nRealm=LAB EXAMPLE\n",
                "Realm is not a Kerberos realm name");
        refused("own tickets need Kerberos", m + "Credentials=kerberos\nAuthentication=ntlm\n",
                "Credentials = kerberos needs Authentication = kerberos");
        refused("timeout zero", m + "Credentials=kerberos\nTimeout=0\n",
                "Timeout must be a whole number from 1 to 300");
        refused("parallel too many", m + "Credentials=kerberos\nParallel=1000\n",
                "Parallel must be a whole number from 1 to 64");
        refused("line without =", "[Network]\nMachines /m\n", "line 2 is not Key = value");
        refused("broken header", "[Network\nMachines=/m\n", "section header");
    }

    void settings() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        try {
            const SmbNetworkConfig config = SmbNetworkConfig::parse(text, "/etc/vc/network.ini");
            QVERIFY2(error.isEmpty(), "accepted what should be refused");
            QFETCH(QString, realm);
            QTEST(config.directories.join(' ') + '|' + config.listFile, "machines");
            QCOMPARE(config.kerberos(), realm != "-");
            if (realm != "-")
                QCOMPARE(config.settingsRealm(), realm);
            QTEST(config.timeoutSeconds, "timeout");
            QTEST(config.parallel, "parallel");
            QTEST(config.domain, "domain");
        } catch (const VcError& e) {
            QVERIFY2(!error.isEmpty(), qPrintable(e.description()));
            QVERIFY2(e.description().contains(error), qPrintable(e.description()));
            QVERIFY(e.description().contains("/etc/vc/network.ini"));
        }
    }

    void credentials_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("domain");
        QTest::addColumn<QByteArray>("password");
        const auto row = [](const char* tag, const QByteArray& text, const QString& error,
                            const char* user = "", const char* domain = "", const char* password = "") {
            QTest::newRow(tag) << text << error << QByteArray(user) << QByteArray(domain)
                               << QByteArray(password);
        };
        row("smbclient style", "username = reader\npassword = p=ss word;#x\ndomain = CORP\n", "", "reader",
            "CORP", "p=ss word;#x");
        row("CRLF and comments", "# reader\r\nusername=r\r\npassword=Secr3t\r\n", "", "r", "", "Secr3t");
        row("domain in the user name", "username=CORP\\reader\npassword=x\n", "", "reader", "CORP", "x");
        row("UPN as written", "username=reader@corp.example\npassword=x\n", "", "reader@corp.example", "",
            "x");
        row("half a UPN", "username=reader@\npassword=x\n", "not a UPN");
        row("domain line wins", "username=OTHER\\reader\npassword=x\ndomain=CORP\n", "", "reader", "CORP",
            "x");
        row("empty password allowed", "username=guest\npassword=\n", "", "guest");
        row("no password line", "username=reader\n", "no password= line");
        row("no user", "password=TopSecret\n", "no username= line");
        row("garbage line", "username=u\nTopSecret\npassword=x\n", "line 2 is not key=value");
        row("NUL inside", QByteArray("username=u\npassword=Top\0Secret\n", 30), "NUL");
    }

    void credentials() {
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
        }
    }

    void protectedFiles_data() {
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

    void protectedFiles() {
        QFETCH(QString, file);
        QFETCH(int, mode);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const auto write = [&](const QString& name, const QByteArray& text) {
            writeFile(dir, name, text, name == file ? mode : 0600);
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

    void createNetworkChecksEverything() {
        QTemporaryDir dir;
        writeFile(dir, "machines.txt", "WS1\n");
        writeFile(dir, "ok.cred", "username=u\npassword=Pw-Secret\n");
        writeFile(dir, "open.cred", "username=u\npassword=Pw-Secret\n", 0644);
        writeFile(dir, "good.ini",
                  "[Network]\nMachines=machines.txt\nCredentials=ok.cred\nRealm=LAB.EXAMPLE\n");
        writeFile(dir, "open.ini",
                  "[Network]\nMachines=machines.txt\nCredentials=open.cred\nRealm=LAB.EXAMPLE\n");
        writeFile(dir, "missing.ini", "[Network]\nMachines=machines.txt\nCredentials=none.cred\n");
        // Kerberos with a list of machines and a NetBIOS domain: no realm, so no start (and no
        // quiet fall back to NTLM).
        writeFile(dir, "norealm.ini", "[Network]\nMachines=machines.txt\nCredentials=ok.cred\nDomain=LAB\n");

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

    void machineNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("used"); // empty: refused
        const auto row = [](const char* tag, const QString& name, const QString& used = {}) {
            QTest::newRow(tag) << name << used;
        };
        row("short", "WS001", "WS001");
        row("dns", "ws-01.corp.example", "ws-01.corp.example");
        row("fully qualified, trailing dot", "ws1.corp.example.", "ws1.corp.example");
        row("underscore", "LAB_PC", "LAB_PC");
        row("dotted address", "10.1.2.3", "10.1.2.3");
        row("IPv6", "fd00::1:5", "fd00::1:5");
        row("IPv6 in brackets", "[2001:db8::7]", "2001:db8::7");
        row("all digits: an address in disguise", "2130706433");
        row("hex", "0x7f000001");
        row("short dotted", "127.1");
        row("octal dotted", "010.0.0.1");
        row("IPv6 zone", "fe80::1%eth0");
        row("empty", "");
        row("slash", "ws/../x");
        row("backslash", "ws\\share");
        row("url parts", "ws:445");
        row("at", "user@ws");
        row("space", "ws 1");
        row("brackets", "ws[svcctl]");
        row("leading dot", ".ws");
        row("leading dash", "-ws");
        row("double dot", "ws..corp");
        row("two trailing dots", "ws..");
        row("non-ASCII letter", QString::fromUtf8("wé"));
        row("NUL", QString("ws") + QChar(0));
        row("too long", QString(256, 'a'));
        row("longest", QString(255, 'a'), QString(255, 'a'));
    }

    void machineNames() {
        QFETCH(QString, name);
        QFETCH(QString, used);
        QCOMPARE(MachineName::isValid(name), !used.isEmpty());
        QCOMPARE(MachineName::usable({name}), used.isEmpty() ? QStringList() : QStringList{used});
    }

    void usableNamesDropDuplicatesInAnyCase() {
        QList<MachineName::Skipped> skipped;
        QCOMPARE(MachineName::usable({"WS1", "ws2", "ws1", "bad name", "WS2.corp", "Ws2", "ws2.corp.", "123"},
                                     &skipped),
                 QStringList({"WS1", "ws2", "WS2.corp"}));
        // Refused names are named, each with its reason.
        QCOMPARE(skipped.size(), 2);
        QCOMPARE(skipped[0].name, QString("bad name"));
        QCOMPARE(skipped[0].reason, QString("it may hold only letters, digits, '-', '.' and '_'"));
        QCOMPARE(skipped[1].name, QString("123"));
        QCOMPARE(skipped[1].reason,
                 QString("a number, not a name: it would be taken for the address 0.0.0.123"));
        QVERIFY(MachineName::same("Ws1.Corp", "wS1.cORP"));
        QVERIFY(!MachineName::same("ws1", "ws10"));
    }

    void listFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("skipped");
        const auto utf16 = [](const QString& text, bool littleEndian) {
            return QByteArray(
                QStringEncoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::WriteBom)
                    .encode(text));
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

    void listFile() {
        QFETCH(QByteArray, bytes);
        const MachineList::Contents contents = MachineList::parse(bytes);
        QTEST(contents.names, "names");
        QStringList refused;
        for (const MachineName::Skipped& s : contents.skipped)
            refused << s.name;
        QTEST(refused, "skipped");
    }
};

QTEST_GUILESS_MAIN(TstSmbNetworkConfig)
#include "tst_smbnetworkconfig.moc"
