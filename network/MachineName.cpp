// Validation and comparison of machine names for the real network back end.
#include "network/MachineName.h"

#include <QSet>

namespace MachineName {

bool isValid(const QString& name) {
    if (name.isEmpty() || name.size() > 255)
        return false;
    if (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('-')) ||
        name.endsWith(QLatin1Char('.')) || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
                        u == u'-' || u == u'.' || u == u'_';
        if (!ok)
            return false;
    }
    return true;
}

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringList usable(const QStringList& names) {
    QStringList kept;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (!isValid(name)) {
            qWarning("Machine name skipped: it may hold only letters, digits, '-', '.' and '_'");
            continue;
        }
        const QString key = name.toLower();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        kept << name;
    }
    return kept;
}

} // namespace MachineName
