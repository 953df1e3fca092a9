// What the operator is told when a machine, the directory or the account's logon fails: the
// statuses of the Windows protocols, Kerberos and LDAP in plain words, each with its kind.
#pragma once

#include "network/Network.h"

#include <QString>

struct NetworkReason {
    NetworkFailure failure = NetworkFailure::None;
    QString text;

    bool stopsRun() const { return failure == NetworkFailure::Logon; }
};

namespace NetworkReasons {

// What was being done when the status came.
enum class Step { ServiceManager, ShareFile };

// An NTSTATUS of a connection to a machine (or of its share or pipe). `kerberos` and
// `nameIsAddress` choose the words for the set-up problems only Kerberos has.
NetworkReason fromStatus(quint32 status, Step step, bool kerberos, bool nameIsAddress, int timeoutSeconds);

// A Kerberos error of the account's logon (obtaining its ticket) in `realm`.
NetworkReason fromKerberos(qint32 code, const QString& detail, const QString& realm);

// A directory bind or search result; `diagnostic` is the server's message (Active Directory
// puts the logon failure's reason in it as "data 52e").
NetworkReason fromLdap(int code, const QString& diagnostic);

} // namespace NetworkReasons
