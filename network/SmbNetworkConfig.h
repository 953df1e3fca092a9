// The settings of a real Windows network: the small INI file named by "--network smb:FILE".
#pragma once

#include <QString>
#include <QStringList>

struct SmbNetworkConfig {
    enum class Authentication {
        Kerberos, // the default: tickets for the directory, the service query and the copies
        Ntlm,     // only when the settings say so: every contacted machine gets an NTLM response
    };
    enum class Encryption {
        WhenOffered, // whenever the server speaks SMB 3 (signing is always required)
        Required,    // refuse servers that cannot encrypt
    };

    // ldap:// or ldaps:// URLs of the directory's servers (with the base DN as their path),
    // tried in this order; empty when the machines come from a list file.
    QStringList directories;
    // The list file; empty when the machines come from the directory.
    QString listFile;
    // Path of an smbclient-style credentials file, or "kerberos" (the caller's own tickets).
    QString credentials;
    QString domain;        // may be empty: then from the directory, else this host's DNS domain
    QString realm;         // Kerberos realm as given by Realm=; empty: from the directory's base DN
    QString caCertificate; // the directory's CA certificates (PEM); empty: the system's store
    Authentication authentication = Authentication::Kerberos;
    Encryption encryption = Encryption::WhenOffered;
    int timeoutSeconds = 5;
    int parallel = 16;

    static constexpr int kMaxTimeoutSeconds = 300;
    static constexpr int kMaxParallel = 64;

    bool machinesFromDirectory() const { return !directories.isEmpty(); }
    bool kerberos() const { return authentication == Authentication::Kerberos; }
    // The caller's own ticket cache instead of a password.
    bool useTicketCache() const;
    // Realm=, else the upper-case DNS domain of the first directory's base DN; empty when
    // neither says (a NetBIOS domain name is never taken for a realm).
    QString settingsRealm() const;

    // Reads the [Network] section of the file, which must be protected as the credentials file
    // is (owned by you or root, no access for group or others). Relative paths are taken from
    // the file's folder. Throws VcError naming the file and the line for anything it cannot
    // use: a missing, unprotected or unreadable file, an unknown key or value, a number out of
    // range, no Machines or Credentials.
    static SmbNetworkConfig load(const QString& path);
    static SmbNetworkConfig parse(const QString& text, const QString& path);
};
