// The messages between the console and its network worker processes, over one socket each:
// a 4-byte length, a type byte and a QDataStream payload.
#pragma once

#include "network/Network.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace WorkerMessages {

// A worker answering with another version is refused (a console replaced while it runs).
constexpr quint32 kVersion = 1;
// The largest message either side accepts: a directory of 100,000 names fits.
constexpr quint32 kMaxSize = 64 * 1024 * 1024;

enum class Type : quint8 {
    Hello = 1,    // worker: started, with kVersion
    Setup,        // console: the settings (no secret)
    Job,          // console: one job
    NeedPassword, // worker: the logon of the job needs the password now
    Grant,        // console: the password
    Refuse,       // console: no password (the account was refused elsewhere): give up
    Progress,     // worker: the job moves (a MiB copied, a page read)
    Reply,        // worker: the job's outcome
};

struct Setup {
    bool kerberos = true;
    bool requireEncryption = false;
    int timeoutSeconds = 5;
    QByteArray username; // NTLM: the account as the credentials file names it
    QByteArray domain;   // NTLM: its domain (empty for a UPN)
    QString ccache;      // Kerberos: the ticket cache, "FILE:..."
    QString caCertificate;
};

enum class JobKind : quint8 {
    Logon,     // Kerberos: obtain the account's ticket (principal) into the cache
    Services,  // a machine's service list
    Prove,     // connect to a machine's service manager pipe only: proves the account
    Copy,      // a machine's share file into a folder of the console's
    Enumerate, // the directory's computers
};

struct Job {
    JobKind kind = JobKind::Services;
    QString machine;
    int stateFilter = 3;
    QString relativePath;
    QString folder; // Copy: where the file goes
    qint64 maxFileSize = 0;
    QStringList urls; // Enumerate: the directory's servers, in order
    int pageSize = 500;
    QByteArray principal;     // Logon: the account; Copy: the ticket's principal
    bool usePassword = false; // Logon: from the password (else: check the cache)
};

struct Reply {
    NetworkFailure failure = NetworkFailure::None;
    QString reason;
    bool passwordAsked = false; // the job's logon asked for (and got) the password
    bool connected = false;     // the machine accepted the logon
    // Services
    int stage = 0;
    qint64 errorCode = 0;
    QList<Network::ServiceEntry> entries;
    // Copy: the file written in the job's folder
    QString path;
    // Enumerate
    QStringList names;
    // Logon: the principal the ticket names
    QByteArray principal;
};

QByteArray encode(const Setup& setup);
QByteArray encode(const Job& job);
QByteArray encode(const Reply& reply);
bool decode(const QByteArray& payload, Setup& setup);
bool decode(const QByteArray& payload, Job& job);
bool decode(const QByteArray& payload, Reply& reply);

// One framed message: length (of type and payload), type, payload.
QByteArray frame(Type type, const QByteArray& payload = QByteArray());

} // namespace WorkerMessages
