// The real network's rules that need no server: the words for every status an operator may
// meet, the service list's continuation over several answers, and the one-logon-at-a-time gate.
#include "network/CredentialGate.h"
#include "network/NetworkReason.h"
#include "network/ScmrClient.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A service manager that answers EnumServicesStatusW as Windows does, at most `part` entries an
// answer, continuing where the resume handle says.
struct PartialManager {
    QList<QPair<QString, int>> services;
    int part = 0;
    int failAtCall = -1; // that call answers this error instead
    uint32_t failure = 0;
    bool damaged = false; // claim more entries than the buffer holds
    bool endless = false; // always the same entries, and more to come
    QByteArray buffer;
    int calls = 0;

    static QByteArray pack(const QList<QPair<QString, int>>& entries) {
        const int fixed = 36 * int(entries.size());
        QByteArray head;
        QByteArray tail;
        const auto u32 = [](QByteArray& out, quint32 v) {
            for (int i = 0; i < 4; ++i)
                out.append(char((v >> (8 * i)) & 0xff));
        };
        for (const auto& [name, state] : entries) {
            const QByteArray utf16 =
                QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2) +
                QByteArray(2, '\0');
            u32(head, quint32(fixed + tail.size()));
            tail += utf16;
            u32(head, quint32(fixed + tail.size()));
            tail += utf16;
            for (const quint32 v : {0x10u, quint32(state), 0u, 0u, 0u, 0u, 0u})
                u32(head, v);
        }
        return head + tail;
    }

    void answer(uint32_t offered, uint32_t resume, VcScmrAnswer* a) {
        const int call = calls++;
        if (call == failAtCall) {
            a->code = failure;
            return;
        }
        const QList<QPair<QString, int>> rest = endless ? services : services.mid(int(resume));
        int fit = 0;
        while (fit < rest.size() && (part == 0 || fit < part) &&
               pack(rest.mid(0, fit + 1)).size() <= int(offered))
            ++fit;
        buffer = pack(rest.mid(0, fit));
        buffer.resize(qsizetype(offered), '\0');
        a->buffer = reinterpret_cast<const uint8_t*>(buffer.constData());
        a->length = offered;
        a->returned = damaged && call > 0 ? 1000 : uint32_t(fit);
        const bool more = endless || fit < rest.size();
        a->code = more ? 234 : 0;
        a->needed =
            more ? uint32_t(std::max<qsizetype>(pack(endless ? services : rest.mid(fit)).size(), 36)) : 0;
        a->resume = more ? resume + uint32_t(fit) : 0;
    }

    static void call(void* context, uint32_t offered, uint32_t resume, VcScmrAnswer* a) {
        static_cast<PartialManager*>(context)->answer(offered, resume, a);
    }
};

} // namespace

class TstSmbProtocol : public QObject {
    Q_OBJECT
private slots:
    void statuses_data() {
        QTest::addColumn<quint32>("status");
        QTest::addColumn<bool>("share");
        QTest::addColumn<bool>("kerberos");
        QTest::addColumn<bool>("address");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        using F = NetworkFailure;
        const auto row = [](const char* tag, quint32 status, bool share, bool kerberos, F failure,
                            const char* text, bool address = false) {
            QTest::newRow(tag) << status << share << kerberos << address << int(failure) << QString(text);
        };
        row("wrong password", 0xC000006D, true, false, F::Logon,
            "logon failure: the user name or password in the credentials file is wrong");
        row("locked out", 0xC0000234, false, false, F::Logon, "logon failure: the account is locked out");
        row("a Kerberos logon refused by one machine", 0xC000006D, false, true, F::Refused,
            "the machine refused the Kerberos logon (it may accept only NTLM, or its service principal is "
            "wrong)");
        row("disabled", 0xC0000072, false, false, F::Logon, "logon failure: the account is disabled");
        row("password expired", 0xC0000071, true, false, F::Logon,
            "logon failure: the account's password has expired");
        row("timeout", 0xC00000B5, true, false, F::TimedOut, "no answer within 5 s");
        row("no share", 0xC00000CC, true, true, F::NoShare,
            "the machine has no share Vellumcrest$ (the agent is not installed there)");
        row("not yet published", 0xC0000034, true, true, F::NotPublished,
            "the agent has not published its file yet");
        row("no pipe", 0xC0000034, false, true, F::Refused, "the machine offers no service manager pipe");
        row("share refused", 0xC0000022, true, false, F::Refused,
            "access denied: the account may not read the share Vellumcrest$");
        row("Kerberos to an address", 0xC0000022, false, true, F::Setup,
            "Kerberos needs the machine's DNS name, not an address (or use Authentication = ntlm)", true);
        row("no service principal", 0xC000000D, false, true, F::Setup,
            "Kerberos: the domain has no service principal for this name (check the machine's DNS name and "
            "its "
            "HOST/ SPN)");
        row("NTLM blocked", 0xC0000418, true, false, F::Setup,
            "the domain refuses NTLM (use Authentication = kerberos)");
        row("refused connection", 0xC0000236, false, false, F::Unreachable,
            "nothing answers on port 445 (connection refused)");
        row("something else", 0xC0000001, true, false, F::Other, "the connection failed (status 0xc0000001)");
    }

    void statuses() {
        QFETCH(quint32, status);
        QFETCH(bool, share);
        QFETCH(bool, kerberos);
        QFETCH(bool, address);
        QFETCH(int, failure);
        const NetworkReason reason = NetworkReasons::fromStatus(
            status, share ? NetworkReasons::Step::ShareFile : NetworkReasons::Step::ServiceManager, kerberos,
            address, 5);
        QCOMPARE(int(reason.failure), failure);
        QTEST(reason.text, "text");
        QCOMPARE(reason.stopsRun(), failure == int(NetworkFailure::Logon));
    }

    void kerberosLogons_data() {
        QTest::addColumn<qint32>("code");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* tag, qint32 offset, const char* detail, NetworkFailure failure,
                            const char* text) {
            QTest::newRow(tag) << -1765328384 + offset << QString(detail) << int(failure) << QString(text);
        };
        row("wrong password", 24, "Preauthentication failed", NetworkFailure::Logon,
            "logon failure: the user name or password in the credentials file is wrong");
        row("revoked", 18, "", NetworkFailure::Logon, "logon failure: the account is locked out or disabled");
        row("clock", 37, "", NetworkFailure::Setup,
            "Kerberos: this computer's clock differs too much from the domain's: synchronise the clocks");
        row("no KDC", 156, "Cannot contact any KDC", NetworkFailure::Setup,
            "Kerberos: no domain controller (KDC) of the realm LAB could be reached (check the realm's name, "
            "DNS "
            "or "
            "/etc/krb5.conf)");
        row("skew seen as FAST", 200, "FAST fast response is missing FX-FAST", NetworkFailure::Setup,
            "Kerberos: FAST fast response is missing FX-FAST (is this computer's clock right?)");
    }

    void kerberosLogons() {
        QFETCH(qint32, code);
        QFETCH(QString, detail);
        const NetworkReason reason = NetworkReasons::fromKerberos(code, detail, "LAB");
        QTEST(int(reason.failure), "failure");
        QTEST(reason.text, "text");
    }

    void directoryBinds_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("diagnostic");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        const QString ad =
            "80090308: LdapErr: DSID-0C09044E, comment: AcceptSecurityContext error, data %1, v4563";
        const QString logon = "logon failure at the directory: ";
        QTest::newRow("wrong password")
            << 49 << ad.arg("52e") << int(NetworkFailure::Logon)
            << logon + "the user name or password in the credentials file is wrong";
        QTest::newRow("locked") << 49 << ad.arg("775") << int(NetworkFailure::Logon)
                                << logon + "the account is locked out";
        QTest::newRow("must change") << 49 << ad.arg("773") << int(NetworkFailure::Logon)
                                     << logon + "the account's password must be changed";
        QTest::newRow("down") << -1 << "" << int(NetworkFailure::Unreachable)
                              << "the directory cannot be reached";
    }

    void directoryBinds() {
        QFETCH(int, code);
        QFETCH(QString, diagnostic);
        const NetworkReason reason = NetworkReasons::fromLdap(code, diagnostic);
        QTEST(int(reason.failure), "failure");
        QTEST(reason.text, "text");
    }

    void serviceListInParts_data() {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("failAtCall");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<bool>("endless");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("calls");
        QTest::newRow("one answer") << 0 << -1 << false << false << int(VC_SCMR_OK) << 0 << 2;
        QTest::newRow("two at a time, resume handle followed")
            << 2 << -1 << false << false << int(VC_SCMR_OK) << 0 << 4;
        QTest::newRow("one at a time") << 1 << -1 << false << false << int(VC_SCMR_OK) << 0 << 6;
        QTest::newRow("size query refused") << 0 << 0 << false << false << int(VC_SCMR_FIRST_CALL) << 5 << 1;
        QTest::newRow("second piece fails")
            << 2 << 2 << false << false << int(VC_SCMR_SECOND_CALL) << 1726 << 3;
        QTest::newRow("more entries than bytes")
            << 2 << -1 << true << false << int(VC_SCMR_SECOND_CALL) << 13 << 2;
        QTest::newRow("never ends") << 5 << -1 << false << true << int(VC_SCMR_SECOND_CALL) << 13
                                    << 1 + VC_SCMR_MAX_PIECES;
    }

    void serviceListInParts() {
        QFETCH(int, part);
        QFETCH(int, failAtCall);
        QFETCH(bool, damaged);
        QFETCH(bool, endless);
        QFETCH(int, stage);
        PartialManager manager;
        manager.services = {
            {"Spooler", 4}, {"VCWorkstation", 4}, {"Themes", 1}, {"W32Time", 7}, {"Dnscache", 4}};
        manager.part = part;
        manager.failAtCall = failAtCall;
        manager.failure = failAtCall == 0 ? 5 : 1726;
        manager.damaged = damaged;
        manager.endless = endless;
        VcScmrResult result = {};
        VcScmrCollect(PartialManager::call, &manager, &result);
        QCOMPARE(result.stage, stage);
        QTEST(int(result.errorCode), "error");
        QTEST(manager.calls, "calls");
        QStringList got;
        for (size_t i = 0; i < result.count; ++i)
            got << QStringLiteral("%1=%2")
                       .arg(QString::fromUtf8(result.entries[i].name))
                       .arg(result.entries[i].state);
        // All of them, in order, each once; or nothing at all.
        const QStringList all{"Spooler=4", "VCWorkstation=4", "Themes=1", "W32Time=7", "Dnscache=4"};
        QCOMPARE(got, stage == VC_SCMR_OK ? all : QStringList());
        VcScmrResultFree(&result);
    }

    void gateLetsOneLogonDecide() {
        // Eight jobs want the password at once; the first two logons find no verdict, the third
        // is refused: at no time do two logons decide together, and after the refusal none
        // gets the password.
        CredentialGate gate;
        std::atomic<int> deciding{0};
        std::atomic<int> mostAtOnce{0};
        std::atomic<int> decisions{0};
        std::atomic<int> refusedJobs{0};
        std::vector<std::thread> jobs;
        for (int i = 0; i < 8; ++i) {
            jobs.emplace_back([&] {
                bool decides = false;
                if (!gate.enter(&decides)) {
                    ++refusedJobs;
                    return;
                }
                QVERIFY(decides);
                mostAtOnce = std::max(mostAtOnce.load(), ++deciding);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --deciding;
                const int n = ++decisions;
                gate.decide(n < 3 ? CredentialGate::Outcome::Undecided : CredentialGate::Outcome::Refused,
                            "logon failure: the account is locked out");
            });
        }
        for (std::thread& job : jobs)
            job.join();
        QCOMPARE(mostAtOnce.load(), 1);
        QCOMPARE(decisions.load(), 3);
        QCOMPARE(refusedJobs.load(), 5);
        QCOMPARE(gate.refusal(), QString("logon failure: the account is locked out"));
        bool decides = true;
        QVERIFY(!gate.enter(&decides));

        CredentialGate good;
        QVERIFY(good.enter(&decides) && decides);
        good.decide(CredentialGate::Outcome::Accepted);
        QVERIFY(good.enter(&decides) && !decides); // from now on everyone at once
        QVERIFY(good.accepted());

        // The password went out and nothing came back: no second machine gets it.
        CredentialGate silent;
        QVERIFY(silent.enter(&decides) && decides);
        silent.decide(CredentialGate::Outcome::Silent, "ws1 took the password and gave no answer");
        QVERIFY(!silent.enter(&decides));
        QCOMPARE(silent.refusal(), QString("ws1 took the password and gave no answer"));
    }
};

QTEST_GUILESS_MAIN(TstSmbProtocol)
#include "tst_smbprotocol.moc"
