// The settings of a real Windows network: the small INI file named by "--network smb:FILE".
#pragma once

#include <QString>

struct SmbNetworkConfig {
    // ldap:// or ldaps:// URL of the directory (with the base DN as its path), or a list file.
    QString machines;
    // Path of an smbclient-style credentials file, or "kerberos".
    QString credentials;
    QString domain; // may be empty: then from the directory, else this host's DNS domain
    int timeoutSeconds = 5;
    int parallel = 16;

    static constexpr int kMaxTimeoutSeconds = 300;
    static constexpr int kMaxParallel = 64;

    bool machinesFromDirectory() const;
    bool useKerberos() const;

    // Reads the [Network] section of the file. Relative paths are taken from the file's
    // folder. Throws VcError naming the file and the line for anything it cannot use: a
    // missing or unreadable file, an unknown key, a number out of range, no Machines or
    // Credentials.
    static SmbNetworkConfig load(const QString& path);
    static SmbNetworkConfig parse(const QString& text, const QString& path);
};
