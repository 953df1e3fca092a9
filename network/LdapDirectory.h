// The enabled computer objects of a directory (Active Directory or a compatible one) over LDAP,
// read inside a network worker: certificate checks no rc file or environment can switch off,
// every step under the timeout, several servers tried in order.
#pragma once

#include "network/NetworkReason.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace LdapDirectory {

// Enabled computer accounts (userAccountControl bit 2 set means disabled), without the domain
// controllers (primary group 516, read-only ones 521): they are not workstations, and a scan
// must not ask them for anything.
inline const char kComputerFilter[] =
    "(&(objectCategory=computer)(!(userAccountControl:1.2.840.113556.1.4.803:=2))"
    "(!(primaryGroupID=516))(!(primaryGroupID=521)))";

struct Options {
    bool kerberos = true; // GSSAPI with the worker's ticket cache; else a simple bind
    QByteArray user;      // simple bind: the account (a UPN as written), with its domain
    QByteArray domain;
    QString caCertificate; // empty: the system's certificate store
    int timeoutSeconds = 5;
    int pageSize = 500;
};

struct Result {
    QStringList names;
    NetworkReason reason; // failure None: names is the whole list
    bool passwordAsked = false;
    bool bound = false;
};

// Names (dNSHostName, else name) of the computers under each URL's base DN, read a page at a
// time, in the directory's order, from the first server of `urls` that can be reached.
// ldaps:// uses TLS from the start, ldap:// must accept StartTLS; the server's certificate must
// be valid for its name and signed by a CA of the store. A refused logon is not retried on the
// next server (that would be a second failed logon).
Result computers(const QStringList& urls, const Options& options);

// The DNS domain a base DN names ("DC=corp,DC=example" gives "corp.example"); empty when it
// has no DC components.
QString domainOfBaseDn(const QString& baseDn);

// The base DN of an ldap:// or ldaps:// URL; empty when the URL does not parse.
QString baseDnOfUrl(const QString& url);

} // namespace LdapDirectory
