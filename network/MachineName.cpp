// Validation and comparison of machine names for the real network back end.
#include "network/MachineName.h"

#include <QSet>

#include <arpa/inet.h>

namespace MachineName {
namespace {

QString withoutBrackets(const QString& name) {
    if (name.size() > 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        return name.mid(1, name.size() - 2);
    return name;
}

bool isIpv6(const QString& name) {
    const QString bare = withoutBrackets(name);
    in6_addr address{};
    return bare.contains(QLatin1Char(':')) &&
           inet_pton(AF_INET6, bare.toLatin1().constData(), &address) == 1 &&
           bare.toLatin1() == bare.toUtf8();
}

} // namespace

QString normalised(const QString& name) {
    if (isIpv6(name))
        return withoutBrackets(name);
    if (name.size() > 1 && name.endsWith(QLatin1Char('.')) && !name.endsWith(QLatin1String("..")))
        return name.left(name.size() - 1);
    return name;
}

QString refusal(const QString& raw) {
    if (raw.isEmpty())
        return QStringLiteral("an empty name");
    if (isIpv6(raw))
        return QString();
    const QString name = normalised(raw);
    if (name.size() > 255)
        return QStringLiteral("longer than 255 characters");
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                        u == u'-' || u == u'.' || u == u'_';
        if (!ok)
            return QStringLiteral("it may hold only letters, digits, '-', '.' and '_'");
    }
    if (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('-')) ||
        name.endsWith(QLatin1Char('.')) || name.contains(QLatin1String("..")))
        return QStringLiteral("an empty label, or one that starts with '-'");
    // The resolver reads "2130706433", "0x7f.1" or "127.1" as an address without asking any
    // name service: such a name would reach a machine nobody named. A plain dotted address
    // is what it looks like and stays.
    in_addr address{};
    const QByteArray latin = name.toLatin1();
    if (inet_aton(latin.constData(), &address) != 0 && QByteArray(inet_ntoa(address)) != latin)
        return QStringLiteral("a number, not a name: it would be taken for the address ") +
               QString::fromLatin1(inet_ntoa(address));
    return QString();
}

bool isAddress(const QString& name) {
    if (isIpv6(name))
        return true;
    in_addr address{};
    const QByteArray latin = normalised(name).toLatin1();
    return inet_pton(AF_INET, latin.constData(), &address) == 1;
}

bool same(const QString& a, const QString& b) {
    return normalised(a).compare(normalised(b), Qt::CaseInsensitive) == 0;
}

QString printable(const QString& name) {
    QString shown;
    for (const QChar c : name) {
        if (c.isPrint() && c.unicode() != u'\\')
            shown += c;
        else
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return shown;
}

QString skippedText(const Skipped& skipped) {
    return QStringLiteral("\"%1\" skipped: %2").arg(printable(skipped.name), skipped.reason);
}

QStringList usable(const QStringList& names, QList<Skipped>* skipped) {
    QStringList kept;
    QSet<QString> seen;
    for (const QString& name : names) {
        const QString why = refusal(name);
        if (!why.isEmpty()) {
            qWarning("Machine name \"%s\" skipped: %s", qPrintable(printable(name)), qPrintable(why));
            if (skipped)
                skipped->append({name, why});
            continue;
        }
        const QString usedName = normalised(name);
        const QString key = usedName.toLower();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        kept << usedName;
    }
    return kept;
}

} // namespace MachineName
