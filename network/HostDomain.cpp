// The computer's DNS domain: resolv.conf's "domain" (else its first "search" entry), else the
// part of the host name after its first dot.
#include "network/HostDomain.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <unistd.h>

QString hostDomainName() {
    QFile resolver(QStringLiteral("/etc/resolv.conf"));
    if (resolver.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QString search;
        const QStringList lines = QString::fromUtf8(resolver.read(1 << 20)).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            const QStringList words =
                line.trimmed().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            if (words.size() < 2 || words[0].startsWith(QLatin1Char('#')))
                continue;
            if (words[0] == QLatin1String("domain"))
                return words[1];
            if (words[0] == QLatin1String("search") && search.isEmpty())
                search = words[1];
        }
        if (!search.isEmpty() && search != QLatin1String("."))
            return search;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        const QString name = QString::fromLocal8Bit(host);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot > 0 && dot + 1 < name.size())
            return name.mid(dot + 1);
    }
    return QString();
}
