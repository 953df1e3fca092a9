// Parses the real network's INI file; every value is checked before any machine is contacted.
#include "network/SmbNetworkConfig.h"

#include "base/VcError.h"
#include "network/LdapDirectory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kMaxFileSize = 64 * 1024;

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

QString resolved(const QString& path, const QString& value) {
    return QDir::cleanPath(QFileInfo(path).absoluteDir().absoluteFilePath(value));
}

} // namespace

bool SmbNetworkConfig::machinesFromDirectory() const {
    return machines.startsWith(QLatin1String("ldap://"), Qt::CaseInsensitive) ||
           machines.startsWith(QLatin1String("ldaps://"), Qt::CaseInsensitive);
}

bool SmbNetworkConfig::useKerberos() const {
    return credentials.compare(QLatin1String("kerberos"), Qt::CaseInsensitive) == 0;
}

SmbNetworkConfig SmbNetworkConfig::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, file.errorString());
    if (file.size() > kMaxFileSize)
        fail(path, QStringLiteral("larger than 64 KiB"));
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize)
        fail(path, QStringLiteral("larger than 64 KiB"));
    return parse(QString::fromUtf8(bytes), path);
}

SmbNetworkConfig SmbNetworkConfig::parse(const QString& text, const QString& path) {
    SmbNetworkConfig config;
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
            config.machines = value;
        } else if (key == QLatin1String("credentials")) {
            config.credentials = value;
        } else if (key == QLatin1String("domain")) {
            config.domain = value;
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
    if (config.machines.isEmpty())
        fail(path, QStringLiteral("Machines is not set"));
    if (config.credentials.isEmpty())
        fail(path, QStringLiteral("Credentials is not set"));
    if (config.domain.contains(QChar(0)) || config.domain.size() > 255)
        fail(path, QStringLiteral("Domain is not a name"));
    if (config.machinesFromDirectory() && LdapDirectory::baseDnOfUrl(config.machines).isEmpty())
        fail(path, QStringLiteral("the directory URL needs the base DN as its path, e.g. "
                                  "ldaps://dc1.corp.example/DC=corp,DC=example"));
    if (!config.machinesFromDirectory())
        config.machines = resolved(path, config.machines);
    if (!config.useKerberos())
        config.credentials = resolved(path, config.credentials);
    return config;
}
