// Parses the real network's INI file; every value is checked before any machine is contacted.
#include "network/SmbNetworkConfig.h"

#include "base/VcError.h"
#include "network/LdapDirectory.h"
#include "network/ProtectedFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr qint64 kMaxFileSize = 64 * 1024;
constexpr qint64 kMaxCaFileSize = 1024 * 1024;

[[noreturn]] void fail(const QString& path, const QString& why) {
    throw VcError(ErrorNumber::InvalidArgument,
                  QStringLiteral("Network settings ") + path + QStringLiteral(": ") + why);
}

// The value without a trailing "; comment" (a ';' or '#' after white space starts one).
QString withoutComment(const QString& value) {
    for (qsizetype i = 1; i < value.size(); ++i) {
        if ((value[i] == QLatin1Char(';') || value[i] == QLatin1Char('#')) && value[i - 1].isSpace())
            return value.left(i).trimmed();
    }
    return value.trimmed();
}

int number(const QString& path, int line, const QString& key, const QString& value, int low, int high) {
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < low || n > high)
        fail(path, QStringLiteral("line %1: %2 must be a whole number from %3 to %4")
                       .arg(line)
                       .arg(key)
                       .arg(low)
                       .arg(high));
    return n;
}

// One of the words a key takes, whatever its letter case.
int choice(const QString& path, int line, const QString& key, const QString& value,
           const QStringList& words) {
    for (qsizetype i = 0; i < words.size(); ++i)
        if (value.compare(words[i], Qt::CaseInsensitive) == 0)
            return int(i);
    fail(path,
         QStringLiteral("line %1: %2 must be %3").arg(line).arg(key, words.join(QStringLiteral(" or "))));
}

QString resolved(const QString& path, const QString& value) {
    return QDir::cleanPath(QFileInfo(path).absoluteDir().absoluteFilePath(value));
}

bool isDirectoryUrl(const QString& value) {
    return value.startsWith(QLatin1String("ldap://"), Qt::CaseInsensitive) ||
           value.startsWith(QLatin1String("ldaps://"), Qt::CaseInsensitive);
}

} // namespace

bool SmbNetworkConfig::useTicketCache() const {
    return credentials.compare(QLatin1String("kerberos"), Qt::CaseInsensitive) == 0;
}

QString SmbNetworkConfig::settingsRealm() const {
    if (!realm.isEmpty())
        return realm;
    if (directories.isEmpty())
        return QString();
    return LdapDirectory::domainOfBaseDn(LdapDirectory::baseDnOfUrl(directories.first())).toUpper();
}

SmbNetworkConfig SmbNetworkConfig::load(const QString& path) {
    const QByteArray bytes = ProtectedFile::read(path, QStringLiteral("Network settings"),
                                                 ProtectedFile::Access::OwnerOnly, kMaxFileSize);
    SmbNetworkConfig config = parse(QString::fromUtf8(bytes), path);
    // Whoever could change the CA file could point the password at a directory of theirs.
    if (!config.caCertificate.isEmpty())
        ProtectedFile::read(config.caCertificate, QStringLiteral("CA certificate file"),
                            ProtectedFile::Access::OwnerWritable, kMaxCaFileSize);
    return config;
}

SmbNetworkConfig SmbNetworkConfig::parse(const QString& text, const QString& path) {
    SmbNetworkConfig config;
    QString machines;
    bool inSection = false;
    bool sawSection = false;
    int lineNumber = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        if (lineNumber == 1 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                fail(path, QStringLiteral("line %1: a section header ends with ']'").arg(lineNumber));
            inSection = line.mid(1, line.size() - 2)
                            .trimmed()
                            .compare(QLatin1String("Network"), Qt::CaseInsensitive) == 0;
            sawSection = sawSection || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(path, QStringLiteral("line %1 is not Key = value").arg(lineNumber));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = withoutComment(line.mid(eq + 1));
        if (key == QLatin1String("machines")) {
            machines = value;
        } else if (key == QLatin1String("credentials")) {
            config.credentials = value;
        } else if (key == QLatin1String("domain")) {
            config.domain = value;
        } else if (key == QLatin1String("realm")) {
            config.realm = value;
        } else if (key == QLatin1String("cacertificate")) {
            config.caCertificate = value;
        } else if (key == QLatin1String("authentication")) {
            config.authentication =
                Authentication(choice(path, lineNumber, QStringLiteral("Authentication"), value,
                                      {QStringLiteral("kerberos"), QStringLiteral("ntlm")}));
        } else if (key == QLatin1String("encryption")) {
            config.encryption = Encryption(choice(path, lineNumber, QStringLiteral("Encryption"), value,
                                                  {QStringLiteral("auto"), QStringLiteral("required")}));
        } else if (key == QLatin1String("timeout")) {
            config.timeoutSeconds =
                number(path, lineNumber, QStringLiteral("Timeout"), value, 1, kMaxTimeoutSeconds);
        } else if (key == QLatin1String("parallel")) {
            config.parallel = number(path, lineNumber, QStringLiteral("Parallel"), value, 1, kMaxParallel);
        } else {
            fail(path,
                 QStringLiteral("line %1: unknown key \"%2\"").arg(lineNumber).arg(line.left(eq).trimmed()));
        }
    }
    if (!sawSection)
        fail(path, QStringLiteral("no [Network] section"));
    if (machines.isEmpty())
        fail(path, QStringLiteral("Machines is not set"));
    if (config.credentials.isEmpty())
        fail(path, QStringLiteral("Credentials is not set"));
    if (config.domain.contains(QChar(0)) || config.domain.size() > 255)
        fail(path, QStringLiteral("Domain is not a name"));
    static const QRegularExpression realmName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]{0,253}[A-Za-z0-9])?$"));
    if (!config.realm.isEmpty() && !realmName.match(config.realm).hasMatch())
        fail(path, QStringLiteral("Realm is not a Kerberos realm name (e.g. CORP.EXAMPLE)"));

    if (isDirectoryUrl(machines)) {
        // Several servers of the directory, separated by white space, are tried in order.
        config.directories = machines.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        for (const QString& url : std::as_const(config.directories)) {
            if (!isDirectoryUrl(url))
                fail(path, QStringLiteral("Machines: \"%1\" is not an ldap:// or ldaps:// URL").arg(url));
            if (LdapDirectory::baseDnOfUrl(url).isEmpty())
                fail(path, QStringLiteral("the directory URL needs the base DN as its path, e.g. "
                                          "ldaps://dc1.corp.example/DC=corp,DC=example"));
        }
    } else {
        config.listFile = resolved(path, machines);
    }

    if (config.useTicketCache() && !config.kerberos())
        fail(path, QStringLiteral("Credentials = kerberos needs Authentication = kerberos"));
    if (!config.useTicketCache())
        config.credentials = resolved(path, config.credentials);
    if (!config.caCertificate.isEmpty())
        config.caCertificate = resolved(path, config.caCertificate);
    return config;
}
