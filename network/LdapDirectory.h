// The enabled computer objects of a directory (Active Directory or a compatible one) over LDAP.
#pragma once

#include <optional>
#include <QString>
#include <QStringList>

class SmbCredentials;

namespace LdapDirectory {

// The filter for enabled computer accounts: userAccountControl bit 2 set means disabled.
inline const char kComputerFilter[] =
    "(&(objectCategory=computer)(!(userAccountControl:1.2.840.113556.1.4.803:=2)))";

// Names (dNSHostName, else name) of the enabled computers under the URL's base DN, read a page
// at a time, in the directory's order. ldaps:// uses TLS from the start, ldap:// must accept
// StartTLS; the certificate is checked as the system's LDAP configuration says. Nothing when
// the directory cannot be reached, refuses TLS or the bind, or a search fails.
std::optional<QStringList> computers(const QString& url, const SmbCredentials& credentials,
                                     int timeoutSeconds, QString* error = nullptr, int pageSize = 500);

// The DNS domain a base DN names ("DC=corp,DC=example" gives "corp.example"); empty when it
// has no DC components.
QString domainOfBaseDn(const QString& baseDn);

// The base DN of an ldap:// or ldaps:// URL; empty when the URL does not parse.
QString baseDnOfUrl(const QString& url);

} // namespace LdapDirectory
