// Reads the credentials file with the ownership and permission rules ssh applies to keys.
#include "network/SmbCredentials.h"

#include "base/VcError.h"
#include "network/ProtectedFile.h"

#include <cstring>
#include <sodium.h>

namespace {

constexpr qint64 kMaxFileSize = 64 * 1024;

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw VcError(ErrorNumber::FileFailure,
                  QStringLiteral("Credentials file ") + path + QStringLiteral(": ") + why);
}

} // namespace

SmbCredentials SmbCredentials::kerberos() {
    SmbCredentials credentials;
    credentials.m_kerberos = true;
    return credentials;
}

SmbCredentials::SmbCredentials(const SmbCredentials& other)
    : m_kerberos(other.m_kerberos), m_username(other.m_username), m_domain(other.m_domain) {
    if (other.m_password)
        setPassword(other.m_password, std::strlen(other.m_password));
}

SmbCredentials& SmbCredentials::operator=(const SmbCredentials& other) {
    if (this != &other) {
        wipe();
        m_kerberos = other.m_kerberos;
        m_username = other.m_username;
        m_domain = other.m_domain;
        if (other.m_password)
            setPassword(other.m_password, std::strlen(other.m_password));
    }
    return *this;
}

SmbCredentials::~SmbCredentials() {
    wipe();
}

void SmbCredentials::wipe() {
    // sodium_free overwrites the memory before it gives it back.
    sodium_free(m_password);
    m_password = nullptr;
}

void SmbCredentials::setPassword(const char* text, size_t length) {
    wipe();
    // Guarded pages that are locked in memory and excluded from core dumps.
    if (sodium_init() < 0)
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("No secure memory for the password"));
    m_password = static_cast<char*>(sodium_malloc(length + 1));
    if (!m_password)
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("No secure memory for the password"));
    std::memcpy(m_password, text, length);
    m_password[length] = '\0';
}

SmbCredentials SmbCredentials::load(const QString& path) {
    QByteArray text = ProtectedFile::read(path, QStringLiteral("Credentials file"),
                                          ProtectedFile::Access::OwnerOnly, kMaxFileSize);
    try {
        SmbCredentials credentials = parse(text, path);
        ProtectedFile::wipe(text);
        return credentials;
    } catch (...) {
        ProtectedFile::wipe(text);
        throw;
    }
}

SmbCredentials SmbCredentials::parse(const QByteArray& text, const QString& pathForMessages) {
    SmbCredentials credentials;
    bool haveUser = false;
    bool havePassword = false;
    int lineNumber = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        ++lineNumber;
        // Views into the text: no copy of a password line outlives this loop.
        const QByteArrayView raw(text.constData() + start, end - start);
        start = end + 1;
        const QByteArrayView line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            refuse(pathForMessages, QStringLiteral("line %1 is not key=value").arg(lineNumber));
        const QByteArray key = line.first(eq).trimmed().toByteArray().toLower();
        const QByteArrayView value = line.sliced(eq + 1).trimmed();
        if (key == "username" || key == "user") {
            credentials.m_username = value.toByteArray();
            haveUser = true;
        } else if (key == "password") {
            if (value.contains('\0'))
                refuse(pathForMessages, QStringLiteral("contains a NUL character"));
            credentials.setPassword(value.data(), size_t(value.size()));
            havePassword = true;
        } else if (key == "domain" || key == "workgroup") {
            credentials.m_domain = value.toByteArray();
        }
        // Other keys of the smbclient format are not needed here.
    }
    if (!haveUser || credentials.m_username.isEmpty())
        refuse(pathForMessages, QStringLiteral("no username= line"));
    if (!havePassword)
        refuse(pathForMessages, QStringLiteral("no password= line"));
    if (credentials.m_username.contains('\0') || credentials.m_domain.contains('\0'))
        refuse(pathForMessages, QStringLiteral("contains a NUL character"));

    const qsizetype backslash = credentials.m_username.indexOf('\\');
    const qsizetype at = credentials.m_username.lastIndexOf('@');
    if (backslash > 0) {
        if (credentials.m_domain.isEmpty())
            credentials.m_domain = credentials.m_username.left(backslash);
        credentials.m_username = credentials.m_username.mid(backslash + 1);
    } else if (at == 0 || at == credentials.m_username.size() - 1) {
        refuse(pathForMessages, QStringLiteral("the user name is not a UPN (user@domain)"));
    }
    if (credentials.m_username.isEmpty())
        refuse(pathForMessages, QStringLiteral("no user name"));
    return credentials;
}
