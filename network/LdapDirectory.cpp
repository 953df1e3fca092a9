// Paged LDAP search for computer accounts with OpenLDAP's client library.
#include "network/LdapDirectory.h"

#include "network/NetworkWorker.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ldap.h>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace {

constexpr int kMaxPages = 100000; // a directory that never ends its cookie chain stops here
constexpr int kLogLevel = 0x4000; // a level libldap's client code does not use: only its
                                  // "any level" messages (the TLS failures) are printed
const char kSystemCertificates[] = "/etc/ssl/certs/ca-certificates.crt";

struct LdapCloser {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, LdapCloser>;

struct UrlCloser {
    void operator()(LDAPURLDesc* d) const { ldap_free_urldesc(d); }
};

// libldap's messages of the connection being made: the only place that says why TLS failed.
std::mutex logMutex;
QStringList tlsMessages;

void collectLog(const char* text) {
    const std::lock_guard lock(logMutex);
    if (std::strncmp(text, "TLS:", 4) == 0 && tlsMessages.size() < 20)
        tlsMessages << QString::fromUtf8(text).trimmed();
}

// Ends a connection step that overruns its deadline. The TLS handshake has no timeout of its
// own: against a server that accepts the connection and never speaks TLS it spins forever.
// Shutting the socket down makes it fail at once.
class Watchdog {
public:
    Watchdog() : m_thread([this] { watch(); }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void setSocket(int fd) {
        const std::lock_guard lock(m_mutex);
        m_fd = fd;
    }
    void arm(int seconds) {
        {
            const std::lock_guard lock(m_mutex);
            m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            m_armed = true;
            m_fired = false;
        }
        m_changed.notify_all();
    }
    void disarm() {
        const std::lock_guard lock(m_mutex);
        m_armed = false;
    }
    bool fired() {
        const std::lock_guard lock(m_mutex);
        return m_fired;
    }
    bool connected() {
        const std::lock_guard lock(m_mutex);
        return m_fd >= 0;
    }

private:
    void watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
                std::chrono::steady_clock::now() >= m_deadline) {
                if (m_fd >= 0)
                    ::shutdown(m_fd, SHUT_RDWR);
                m_fired = true;
                m_armed = false;
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::chrono::steady_clock::time_point m_deadline;
    int m_fd = -1;
    bool m_armed = false;
    bool m_fired = false;
    bool m_stopping = false;
    std::thread m_thread;
};

int socketAdded(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*, ldap_conncb* context) {
    int fd = -1;
    ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &fd);
    static_cast<Watchdog*>(context->lc_arg)->setSocket(fd);
    return 0;
}

void socketRemoved(LDAP*, Sockbuf*, ldap_conncb* context) {
    static_cast<Watchdog*>(context->lc_arg)->setSocket(-1);
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

QString diagnosticOf(LDAP* ld) {
    char* text = nullptr;
    ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text);
    QString diagnostic = text ? QString::fromUtf8(text) : QString();
    ldap_memfree(text);
    return diagnostic == QLatin1String("(unknown error code)") ? QString() : diagnostic;
}

NetworkReason failed(NetworkFailure failure, const QString& text) {
    return {failure, text};
}

// One server: the connection, TLS, the bind and the paged search.
struct Attempt {
    LdapDirectory::Result result;
    bool tryNext = false; // the server could not be reached: the next one may be
};

Attempt searchOne(const QString& url, const LdapDirectory::Options& options) {
    Attempt attempt;
    LdapDirectory::Result& result = attempt.result;
    LDAPURLDesc* rawDesc = nullptr;
    if (ldap_url_parse(url.toUtf8().constData(), &rawDesc) != LDAP_URL_SUCCESS) {
        result.reason = failed(NetworkFailure::Setup, QStringLiteral("not an LDAP URL: ") + url);
        return attempt;
    }
    std::unique_ptr<LDAPURLDesc, UrlCloser> desc(rawDesc);
    const bool secure = std::strcmp(desc->lud_scheme, "ldaps") == 0;
    if (!secure && std::strcmp(desc->lud_scheme, "ldap") != 0) {
        result.reason =
            failed(NetworkFailure::Setup, QStringLiteral("the URL must start with ldap:// or ldaps://"));
        return attempt;
    }
    const QString host = QString::fromUtf8(desc->lud_host ? desc->lud_host : "");
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
        result.reason = failed(NetworkFailure::Setup, QString::fromUtf8(ldap_err2string(rc)));
        return attempt;
    }
    Watchdog watchdog;
    ldap_conncb callbacks = {socketAdded, socketRemoved, &watchdog};
    LdapHandle ld(rawLd);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval timeout = {options.timeoutSeconds, 0};
    ldap_set_option(ld.get(), LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld.get(), LDAP_OPT_TIMEOUT, &timeout);
    const int limit = options.timeoutSeconds;
    ldap_set_option(ld.get(), LDAP_OPT_TIMELIMIT, &limit);
    ldap_set_option(ld.get(), LDAP_OPT_CONNECT_CB, &callbacks);
    // The certificate must be valid, whatever an ldaprc, ~/.ldaprc or LDAPTLS_REQCERT says
    // (the worker also runs with LDAPNOINIT): options on the handle and a TLS context of its own.
    const int demand = LDAP_OPT_X_TLS_HARD;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    const int tls12 = LDAP_OPT_X_TLS_PROTOCOL_TLS1_2;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_PROTOCOL_MIN, &tls12);
    const QByteArray caFile =
        options.caCertificate.isEmpty()
            ? (QFileInfo::exists(QString::fromLatin1(kSystemCertificates)) ? QByteArray(kSystemCertificates)
                                                                           : QByteArray())
            : options.caCertificate.toLocal8Bit();
    if (!caFile.isEmpty())
        ldap_set_option(ld.get(), LDAP_OPT_X_TLS_CACERTFILE, caFile.constData());
    const int client = 0;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &client);
    // The service principal is the URL's host as written: no reverse DNS to trust.
    ldap_set_option(ld.get(), LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
    // TLS protects the session already: Active Directory refuses a SASL layer on top of it.
    ldap_set_option(ld.get(), LDAP_OPT_X_SASL_SECPROPS, "maxssf=0");

    {
        const std::lock_guard lock(logMutex);
        tlsMessages.clear();
    }
    watchdog.arm(options.timeoutSeconds);
    const int connected = secure ? ldap_connect(ld.get()) : ldap_start_tls_s(ld.get(), nullptr, nullptr);
    watchdog.disarm();
    if (connected != LDAP_SUCCESS) {
        attempt.tryNext = true;
        QStringList messages;
        {
            const std::lock_guard lock(logMutex);
            messages = tlsMessages;
        }
        const QString mismatch = messages.filter(QStringLiteral("does not match")).value(0);
        if (watchdog.fired())
            result.reason =
                failed(NetworkFailure::TimedOut,
                       QStringLiteral("the directory %1 accepted the connection but completed no TLS "
                                      "handshake within %2 s")
                           .arg(host)
                           .arg(options.timeoutSeconds));
        else if (!mismatch.isEmpty())
            result.reason =
                failed(NetworkFailure::Setup, QStringLiteral("the directory's certificate is not issued "
                                                             "for the name %1: ")
                                                      .arg(host) +
                                                  mismatch.mid(5));
        else if (!messages.isEmpty() || (connected != LDAP_SERVER_DOWN && connected != LDAP_TIMEOUT))
            result.reason =
                failed(NetworkFailure::Setup,
                       QStringLiteral("the directory %1 failed the TLS check: its certificate is not "
                                      "trusted (CACertificate names your CA's certificate) or it "
                                      "refused TLS")
                           .arg(host));
        else if (connected == LDAP_TIMEOUT)
            result.reason =
                failed(NetworkFailure::TimedOut,
                       QStringLiteral("the directory %1 did not answer within %2 s").arg(host).arg(limit));
        else
            result.reason = failed(NetworkFailure::Unreachable,
                                   QStringLiteral("the directory %1 cannot be reached").arg(host));
        return attempt;
    }
    NetworkWorker::progress();

    int bound = LDAP_OTHER;
    if (options.kerberos) {
        bound = ldap_sasl_interactive_bind_s(ld.get(), nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                             noInteraction, nullptr);
    } else {
        // Active Directory takes a UPN as written, else DOMAIN\user, for a simple bind.
        QByteArray who = options.user;
        if (!options.domain.isEmpty() && !who.contains('@'))
            who = options.domain + '\\' + who;
        const char* password = NetworkWorker::password();
        result.passwordAsked = true;
        if (!password) {
            result.reason = failed(NetworkFailure::Stopped, QString());
            return attempt;
        }
        berval secret;
        secret.bv_val = const_cast<char*>(password);
        secret.bv_len = std::strlen(password);
        bound =
            ldap_sasl_bind_s(ld.get(), who.constData(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr, nullptr);
    }
    if (bound != LDAP_SUCCESS) {
        const QString diagnostic = diagnosticOf(ld.get());
        result.reason =
            options.kerberos && bound == LDAP_INVALID_CREDENTIALS
                ? failed(NetworkFailure::Setup, QStringLiteral("the directory refused the Kerberos "
                                                               "ticket: ") +
                                                    diagnostic)
                : NetworkReasons::fromLdap(bound, diagnostic);
        attempt.tryNext = bound == LDAP_SERVER_DOWN || bound == LDAP_TIMEOUT;
        return attempt;
    }
    result.bound = true;
    NetworkWorker::progress();

    char dnsHostName[] = "dNSHostName";
    char name[] = "name";
    char* attributes[] = {dnsHostName, name, nullptr};
    berval cookie = {0, nullptr};
    for (int page = 0; page < kMaxPages; ++page) {
        LDAPControl* pageControl = nullptr;
        if (const int rc =
                ldap_create_page_control(ld.get(), std::max(1, options.pageSize), &cookie, 1, &pageControl);
            rc != LDAP_SUCCESS) {
            ber_memfree(cookie.bv_val);
            result.reason = NetworkReasons::fromLdap(rc, QString());
            return attempt;
        }
        LDAPControl* serverControls[] = {pageControl, nullptr};
        LDAPMessage* message = nullptr;
        timeval searchTimeout = {options.timeoutSeconds, 0};
        const int rc = ldap_search_ext_s(ld.get(), base.constData(), LDAP_SCOPE_SUBTREE,
                                         LdapDirectory::kComputerFilter, attributes, 0, serverControls,
                                         nullptr, &searchTimeout, LDAP_NO_LIMIT, &message);
        ldap_control_free(pageControl);
        ber_memfree(cookie.bv_val);
        cookie = {0, nullptr};
        if (rc != LDAP_SUCCESS) {
            ldap_msgfree(message);
            result.reason = NetworkReasons::fromLdap(rc, diagnosticOf(ld.get()));
            return attempt;
        }
        for (LDAPMessage* entry = ldap_first_entry(ld.get(), message); entry;
             entry = ldap_next_entry(ld.get(), entry)) {
            QString hostName = firstValue(ld.get(), entry, dnsHostName);
            if (hostName.isEmpty())
                hostName = firstValue(ld.get(), entry, name);
            if (!hostName.isEmpty())
                result.names << hostName;
        }
        LDAPControl** returned = nullptr;
        int code = LDAP_SUCCESS;
        const int parsed =
            ldap_parse_result(ld.get(), message, &code, nullptr, nullptr, nullptr, &returned, 1);
        if (parsed != LDAP_SUCCESS || code != LDAP_SUCCESS) {
            ldap_controls_free(returned);
            result.reason =
                NetworkReasons::fromLdap(parsed != LDAP_SUCCESS ? parsed : code, diagnosticOf(ld.get()));
            return attempt;
        }
        LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr);
        ber_int_t estimate = 0;
        if (response &&
            ldap_parse_pageresponse_control(ld.get(), response, &estimate, &cookie) != LDAP_SUCCESS)
            cookie = {0, nullptr};
        ldap_controls_free(returned);
        NetworkWorker::progress();
        if (!response || cookie.bv_len == 0) {
            ber_memfree(cookie.bv_val);
            return attempt;
        }
    }
    ber_memfree(cookie.bv_val);
    result.reason =
        failed(NetworkFailure::Damaged, QStringLiteral("the directory never ended its paged results"));
    return attempt;
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

Result computers(const QStringList& urls, const Options& options) {
    // The log level and its printer are process-wide: this worker has no other use for them.
    ber_set_option(nullptr, LBER_OPT_LOG_PRINT_FN, reinterpret_cast<const void*>(collectLog));
    ldap_set_option(nullptr, LDAP_OPT_DEBUG_LEVEL, &kLogLevel);
    // Each server that cannot be reached gets its own deadline; together they say why none could.
    Result first;
    QStringList reasons;
    for (const QString& url : urls) {
        Attempt attempt = searchOne(url, options);
        if (!attempt.tryNext)
            return attempt.result;
        NetworkWorker::progress();
        if (reasons.isEmpty())
            first = attempt.result;
        reasons << attempt.result.reason.text;
    }
    if (reasons.isEmpty())
        first.reason = failed(NetworkFailure::Setup, QStringLiteral("no directory URL"));
    else
        first.reason.text = reasons.join(QStringLiteral("; "));
    return first;
}

} // namespace LdapDirectory
