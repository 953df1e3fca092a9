// The account the console uses on the workstations: an smbclient-style credentials file, or the
// current Kerberos ticket cache. The password is kept here in locked pages that core dumps
// leave out and is wiped when this goes; the copies the Samba libraries make are another
// matter, which is why the process and its network workers are made non-dumpable.
#pragma once

#include <QByteArray>
#include <QString>

class SmbCredentials {
public:
    // The current Kerberos ticket cache, no password.
    static SmbCredentials kerberos();

    // Reads "username=", "password=" and "domain=" lines. Throws VcError, with a message that
    // never quotes the file's content, when the file is missing, too large, not a regular
    // file, readable or writable by group or others, owned by another user, or lacks a
    // username or password line. A username of the form DOMAIN\user names its domain when no
    // domain line does; a UPN (user@corp.example) is used as written.
    static SmbCredentials load(const QString& path);

    // Parses the text of a credentials file (the checks on the file itself left aside).
    static SmbCredentials parse(const QByteArray& text, const QString& pathForMessages);

    SmbCredentials(const SmbCredentials& other);
    SmbCredentials& operator=(const SmbCredentials& other);
    ~SmbCredentials();

    bool useKerberos() const { return m_kerberos; }
    // The user name is a UPN (user@corp.example): it names the account on its own.
    bool isUpn() const { return m_username.contains('@'); }
    const QByteArray& username() const { return m_username; }
    const QByteArray& domain() const { return m_domain; }
    // NUL-terminated; valid as long as this object.
    const char* password() const { return m_password ? m_password : ""; }

private:
    SmbCredentials() = default;
    void wipe();
    void setPassword(const char* text, size_t length);

    bool m_kerberos = false;
    QByteArray m_username;
    QByteArray m_domain;
    char* m_password = nullptr; // NUL-terminated, from sodium_malloc
};
