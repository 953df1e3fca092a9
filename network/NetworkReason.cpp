// Translation of protocol statuses into reasons an operator can act on.
#include "network/NetworkReason.h"

#include <QRegularExpression>

#include <optional>

namespace NetworkReasons {
namespace {

NetworkReason reason(NetworkFailure failure, const QString& text) {
    return {failure, text};
}

QString hex(quint32 status) {
    return QStringLiteral("0x%1").arg(status, 8, 16, QLatin1Char('0'));
}

// The statuses that say the account itself was refused, on any machine: nothing more is tried.
std::optional<QString> accountRefusal(quint32 status) {
    switch (status) {
    case 0xC000006D: // LOGON_FAILURE
    case 0xC000006A: // WRONG_PASSWORD
    case 0xC0000064: // NO_SUCH_USER
        return QStringLiteral("logon failure: the user name or password in the credentials file is wrong");
    case 0xC0000234:
        return QStringLiteral("logon failure: the account is locked out");
    case 0xC0000072:
        return QStringLiteral("logon failure: the account is disabled");
    case 0xC0000071:
        return QStringLiteral("logon failure: the account's password has expired");
    case 0xC0000224:
        return QStringLiteral("logon failure: the account's password must be changed");
    case 0xC0000193:
        return QStringLiteral("logon failure: the account has expired");
    case 0xC000006E: // ACCOUNT_RESTRICTION
    case 0xC000006F: // INVALID_LOGON_HOURS
    case 0xC0000070: // INVALID_WORKSTATION
        return QStringLiteral("logon failure: the account may not log on at this time or from this computer");
    default:
        return std::nullopt;
    }
}

} // namespace

NetworkReason fromStatus(quint32 status, Step step, bool kerberos, bool nameIsAddress, int timeoutSeconds) {
    if (const auto refusal = accountRefusal(status)) {
        // With Kerberos the account was proven when its ticket came; a machine that refuses the
        // ticket speaks for itself only (it may know no Kerberos at all).
        if (kerberos)
            return reason(NetworkFailure::Refused,
                          QStringLiteral("the machine refused the Kerberos logon (it may "
                                         "accept only NTLM, or its service principal is "
                                         "wrong)"));
        return reason(NetworkFailure::Logon, *refusal);
    }
    const bool share = step == Step::ShareFile;
    switch (status) {
    case 0:
        return reason(NetworkFailure::None, QString());
    case 0xC00000B5: // IO_TIMEOUT
        return reason(NetworkFailure::TimedOut, QStringLiteral("no answer within %1 s").arg(timeoutSeconds));
    case 0xC0000236: // CONNECTION_REFUSED
        return reason(NetworkFailure::Unreachable,
                      QStringLiteral("nothing answers on port 445 (connection refused)"));
    case 0xC000023C: // NETWORK_UNREACHABLE
    case 0xC000023D: // HOST_UNREACHABLE
    case 0xC000023E: // PROTOCOL_UNREACHABLE
    case 0xC000023F: // PORT_UNREACHABLE
        return reason(NetworkFailure::Unreachable, QStringLiteral("the machine cannot be reached"));
    case 0xC000020D: // CONNECTION_RESET
    case 0xC000020C: // CONNECTION_DISCONNECTED
    case 0xC000013B: // LOCAL_DISCONNECT
    case 0xC000013C: // REMOTE_DISCONNECT
    case 0xC00000C9: // NETWORK_NAME_DELETED
        return reason(NetworkFailure::Unreachable, QStringLiteral("the machine closed the connection"));
    case 0xC0000034: // OBJECT_NAME_NOT_FOUND
    case 0xC000003A: // OBJECT_PATH_NOT_FOUND
    case 0xC000000F: // NO_SUCH_FILE
        return share ? reason(NetworkFailure::NotPublished,
                              QStringLiteral("the agent has not published its file yet"))
                     : reason(NetworkFailure::Refused,
                              QStringLiteral("the machine offers no service manager pipe"));
    case 0xC00000CC: // BAD_NETWORK_NAME
        return reason(NetworkFailure::NoShare,
                      QStringLiteral("the machine has no share Vellumcrest$ (the agent "
                                     "is not installed there)"));
    case 0xC000015B: // LOGON_TYPE_NOT_GRANTED
        return reason(NetworkFailure::Refused,
                      QStringLiteral("the machine does not let the account log on over the network"));
    case 0xC0000022: // ACCESS_DENIED
        if (kerberos && nameIsAddress)
            return reason(NetworkFailure::Setup,
                          QStringLiteral("Kerberos needs the machine's DNS name, not an "
                                         "address (or use Authentication = ntlm)"));
        return reason(NetworkFailure::Refused,
                      share ? QStringLiteral("access denied: the account may not read the share Vellumcrest$")
                            : QStringLiteral("access denied: the account may not use the service manager"));
    case 0xC0000418: // NTLM_BLOCKED
        return reason(NetworkFailure::Setup,
                      QStringLiteral("the domain refuses NTLM (use Authentication = kerberos)"));
    case 0xC000005E: // NO_LOGON_SERVERS
        return reason(NetworkFailure::Setup,
                      QStringLiteral("no domain controller could be reached for the logon"));
    case 0xC0000133: // TIME_DIFFERENCE_AT_DC
        return reason(NetworkFailure::Setup, QStringLiteral("this computer's clock differs too much from the "
                                                            "domain's: synchronise the clocks"));
    case 0xC000000D: // INVALID_PARAMETER: what Kerberos gives for a name without a principal
        if (kerberos)
            return reason(
                NetworkFailure::Setup,
                QStringLiteral("Kerberos: the domain has no service principal for this name (check the "
                               "machine's DNS name and its HOST/ SPN)"));
        break;
    case 0xC00000BB: // NOT_SUPPORTED
    case 0xC0000184: // INVALID_DEVICE_STATE
        return reason(
            NetworkFailure::Setup,
            QStringLiteral("the machine cannot sign and encrypt as required (it speaks no SMB 3?)"));
    case 0xE0000001: // the worker's own: the ticket cache could not be used
        return reason(NetworkFailure::Setup,
                      QStringLiteral("Kerberos: no usable ticket (run kinit, or check the "
                                     "ticket cache)"));
    default:
        break;
    }
    return reason(NetworkFailure::Other,
                  QStringLiteral("the connection failed (status %1)").arg(hex(status)));
}

NetworkReason fromKerberos(qint32 code, const QString& detail, const QString& realm) {
    // Error numbers of the "krb5" table: protocol errors at their RFC 4120 numbers from the
    // table's base, then the library's own.
    constexpr qint32 base = -1765328384;
    switch (code - base) {
    case 6:
        return reason(NetworkFailure::Logon,
                      QStringLiteral("logon failure: the domain does not know the account"));
    case 18:
        return reason(NetworkFailure::Logon,
                      QStringLiteral("logon failure: the account is locked out or disabled"));
    case 23:
        return reason(NetworkFailure::Logon,
                      QStringLiteral("logon failure: the account's password has expired"));
    case 24:
        return reason(
            NetworkFailure::Logon,
            QStringLiteral("logon failure: the user name or password in the credentials file is wrong"));
    case 37:
    case 148:
        return reason(NetworkFailure::Setup,
                      QStringLiteral("Kerberos: this computer's clock differs too much from "
                                     "the domain's: synchronise the clocks"));
    case 68:
        return reason(NetworkFailure::Setup,
                      QStringLiteral("Kerberos: the realm %1 is wrong for this account").arg(realm));
    case 154:
    case 156:
    case 220:
        return reason(
            NetworkFailure::Setup,
            QStringLiteral("Kerberos: no domain controller (KDC) of the realm %1 could be reached (check "
                           "the realm's name, DNS or /etc/krb5.conf)")
                .arg(realm));
    default:
        break;
    }
    // A skewed clock comes back from some domain controllers as a FAST failure.
    if (detail.contains(QLatin1String("FAST"), Qt::CaseInsensitive))
        return reason(NetworkFailure::Setup,
                      QStringLiteral("Kerberos: %1 (is this computer's clock right?)").arg(detail));
    return reason(NetworkFailure::Setup,
                  QStringLiteral("Kerberos: ") +
                      (detail.isEmpty() ? QStringLiteral("error %1").arg(code) : detail));
}

NetworkReason fromLdap(int code, const QString& diagnostic) {
    switch (code) {
    case 0:
        return reason(NetworkFailure::None, QString());
    case 49: { // invalidCredentials: Active Directory says why in "data NNN"
        static const QRegularExpression data(QStringLiteral("data ([0-9a-fA-F]+)"));
        const QString sub = data.match(diagnostic).captured(1).toLower();
        const QString text =
            sub == QLatin1String("775")   ? QStringLiteral("the account is locked out")
            : sub == QLatin1String("533") ? QStringLiteral("the account is disabled")
            : sub == QLatin1String("532") ? QStringLiteral("the account's password has expired")
            : sub == QLatin1String("773") ? QStringLiteral("the account's password must be changed")
            : sub == QLatin1String("701") ? QStringLiteral("the account has expired")
            : sub == QLatin1String("530") || sub == QLatin1String("531")
                ? QStringLiteral("the account may not log on at this time or from this computer")
                : QStringLiteral("the user name or password in the credentials file is wrong");
        return reason(NetworkFailure::Logon, QStringLiteral("logon failure at the directory: ") + text);
    }
    case 50:
        return reason(NetworkFailure::Refused, QStringLiteral("the directory refuses the account access"));
    case 8:
    case 13:
        return reason(NetworkFailure::Setup,
                      QStringLiteral("the directory demands stronger protection: ") + diagnostic);
    case -1:
    case -11:
        return reason(NetworkFailure::Unreachable, QStringLiteral("the directory cannot be reached"));
    case -5:
    case 3:
        return reason(NetworkFailure::TimedOut, QStringLiteral("the directory did not answer in time"));
    default:
        break;
    }
    return reason(NetworkFailure::Other,
                  QStringLiteral("the directory answered: ") +
                      (diagnostic.isEmpty() ? QStringLiteral("error %1").arg(code) : diagnostic));
}

} // namespace NetworkReasons
