// Paged LDAP search for computer accounts with OpenLDAP's client library.
#include "network/LdapDirectory.h"

#include "network/SmbCredentials.h"

#include <algorithm>
#include <cstring>
#include <ldap.h>
#include <memory>

namespace {

constexpr int kMaxPages = 100000; // a directory that never ends its cookie chain stops here

struct LdapCloser {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, LdapCloser>;

struct UrlCloser {
    void operator()(LDAPURLDesc* d) const { ldap_free_urldesc(d); }
};

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString ldapText(int code) {
    return QString::fromUtf8(ldap_err2string(code));
}

// GSSAPI needs no answers from the user: the ticket cache says who binds.
int noInteraction(LDAP*, unsigned, void*, void*) {
    return LDAP_SUCCESS;
}

QString firstValue(LDAP* ld, LDAPMessage* entry, const char* attribute) {
    berval** values = ldap_get_values_len(ld, entry, attribute);
    QString value;
    if (values && values[0])
        value = QString::fromUtf8(values[0]->bv_val, qsizetype(values[0]->bv_len));
    ldap_value_free_len(values);
    return value;
}

} // namespace

namespace LdapDirectory {

QString baseDnOfUrl(const QString& url) {
    LDAPURLDesc* raw = nullptr;
    if (ldap_url_parse(url.toUtf8().constData(), &raw) != LDAP_URL_SUCCESS)
        return QString();
    std::unique_ptr<LDAPURLDesc, UrlCloser> desc(raw);
    return desc->lud_dn ? QString::fromUtf8(desc->lud_dn) : QString();
}

QString domainOfBaseDn(const QString& baseDn) {
    QStringList labels;
    for (const QString& part : baseDn.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.startsWith(QLatin1String("DC="), Qt::CaseInsensitive) && trimmed.size() > 3)
            labels << trimmed.mid(3).trimmed();
    }
    return labels.join(QLatin1Char('.'));
}

std::optional<QStringList> computers(const QString& url, const SmbCredentials& credentials,
                                     int timeoutSeconds, QString* error, int pageSize) {
    LDAPURLDesc* rawDesc = nullptr;
    if (ldap_url_parse(url.toUtf8().constData(), &rawDesc) != LDAP_URL_SUCCESS) {
        setError(error, QStringLiteral("not an LDAP URL"));
        return std::nullopt;
    }
    std::unique_ptr<LDAPURLDesc, UrlCloser> desc(rawDesc);
    const bool secure = std::strcmp(desc->lud_scheme, "ldaps") == 0;
    if (!secure && std::strcmp(desc->lud_scheme, "ldap") != 0) {
        setError(error, QStringLiteral("the URL must start with ldap:// or ldaps://"));
        return std::nullopt;
    }
    const QByteArray base = desc->lud_dn ? QByteArray(desc->lud_dn) : QByteArray();
    // The server part only: the DN, attributes and filter of the URL are this code's to choose.
    QByteArray server = QByteArray(desc->lud_scheme) + "://";
    if (desc->lud_host && *desc->lud_host)
        server += QByteArray(std::strchr(desc->lud_host, ':') ? "[" : "") + desc->lud_host +
                  (std::strchr(desc->lud_host, ':') ? "]" : "");
    if (desc->lud_port > 0)
        server += ':' + QByteArray::number(desc->lud_port);

    LDAP* rawLd = nullptr;
    if (const int rc = ldap_initialize(&rawLd, server.constData()); rc != LDAP_SUCCESS) {
        setError(error, ldapText(rc));
        return std::nullopt;
    }
    LdapHandle ld(rawLd);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval timeout = {timeoutSeconds, 0};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &timeout);
    const int limit = timeoutSeconds;
    ldap_set_option(ld.get(), LDAP_OPT_TIMELIMIT, &limit);

    if (!secure) {
        if (const int rc = ldap_start_tls_s(ld.get(), nullptr, nullptr); rc != LDAP_SUCCESS) {
            setError(error, QStringLiteral("StartTLS: ") + ldapText(rc));
            return std::nullopt;
        }
    }

    int bound = LDAP_OTHER;
    if (credentials.useKerberos()) {
        bound = ldap_sasl_interactive_bind_s(ld.get(), nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                             noInteraction, nullptr);
    } else {
        // Active Directory takes DOMAIN\user (or a bare user name) for a simple bind.
        QByteArray who = credentials.username();
        if (!credentials.domain().isEmpty() && !who.contains('@'))
            who = credentials.domain() + '\\' + who;
        berval password;
        password.bv_val = const_cast<char*>(credentials.password());
        password.bv_len = std::strlen(credentials.password());
        bound = ldap_sasl_bind_s(ld.get(), who.constData(), LDAP_SASL_SIMPLE, &password, nullptr, nullptr,
                                 nullptr);
    }
    if (bound != LDAP_SUCCESS) {
        setError(error, QStringLiteral("bind: ") + ldapText(bound));
        return std::nullopt;
    }

    char dnsHostName[] = "dNSHostName";
    char name[] = "name";
    char* attributes[] = {dnsHostName, name, nullptr};
    QStringList names;
    berval cookie = {0, nullptr};
    for (int page = 0; page < kMaxPages; ++page) {
        LDAPControl* pageControl = nullptr;
        if (const int rc =
                ldap_create_page_control(ld.get(), std::max(1, pageSize), &cookie, 1, &pageControl);
            rc != LDAP_SUCCESS) {
            ber_memfree(cookie.bv_val);
            setError(error, ldapText(rc));
            return std::nullopt;
        }
        LDAPControl* serverControls[] = {pageControl, nullptr};
        LDAPMessage* result = nullptr;
        timeval searchTimeout = {timeoutSeconds, 0};
        const int rc =
            ldap_search_ext_s(ld.get(), base.constData(), LDAP_SCOPE_SUBTREE, kComputerFilter, attributes, 0,
                              serverControls, nullptr, &searchTimeout, LDAP_NO_LIMIT, &result);
        ldap_control_free(pageControl);
        ber_memfree(cookie.bv_val);
        cookie = {0, nullptr};
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(result);
            setError(error, QStringLiteral("search: ") + ldapText(rc));
            return std::nullopt;
        }
        for (LDAPMessage* entry = ldap_first_entry(ld.get(), result); entry;
             entry = ldap_next_entry(ld.get(), entry)) {
            QString host = firstValue(ld.get(), entry, dnsHostName);
            if (host.isEmpty())
                host = firstValue(ld.get(), entry, name);
            if (!host.isEmpty())
                names << host;
        }
        LDAPControl** returned = nullptr;
        int code = LDAP_SUCCESS;
        const int parsed =
            ldap_parse_result(ld.get(), result, &code, nullptr, nullptr, nullptr, &returned, 1);
        if (parsed != LDAP_SUCCESS || code != LDAP_SUCCESS) {
            ldap_controls_free(returned);
            setError(error, QStringLiteral("search: ") + ldapText(parsed != LDAP_SUCCESS ? parsed : code));
            return std::nullopt;
        }
        LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr);
        ber_int_t estimate = 0;
        if (response &&
            ldap_parse_pageresponse_control(ld.get(), response, &estimate, &cookie) != LDAP_SUCCESS)
            cookie = {0, nullptr};
        ldap_controls_free(returned);
        if (!response || cookie.bv_len == 0) {
            ber_memfree(cookie.bv_val);
            return names;
        }
    }
    ber_memfree(cookie.bv_val);
    setError(error, QStringLiteral("the directory never ended its paged results"));
    return std::nullopt;
}

} // namespace LdapDirectory
