// Redaction rules in the console database: every change and rewrite with its audit row, in one unit.
#include "collect/RedactionStore.h"

#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/AuditLog.h"

#include <QHash>

namespace {
VcError refused(const QString& why) {
    return VcError(ErrorNumber::InvalidArgument, why);
}
} // namespace

RedactionStore::RedactionStore(ManagerDatabase& database) : m_database(database) {}

QList<RedactionRules::Rule> RedactionStore::rules() const {
    QList<RedactionRules::Rule> rules;
    for (const ManagerDatabase::RedactionRule& row : m_database.redactionRules())
        rules.append({row.pattern, row.replacement});
    return rules;
}

RedactionRules RedactionStore::compiled() const {
    return RedactionRules(rules());
}

void RedactionStore::add(RedactionRules::Rule rule, int position) {
    if (rule.replacement.isEmpty())
        rule.replacement = RedactionRules::defaultReplacement();
    const QString why = RedactionRules::refusal(rule);
    if (!why.isEmpty())
        throw refused(QStringLiteral("The redaction rule is refused: ") + why + QLatin1Char('.'));
    rule.replacement = RedactionRules::cleanReplacement(rule.replacement);
    QList<ManagerDatabase::RedactionRule> stored = m_database.redactionRules();
    for (const ManagerDatabase::RedactionRule& row : stored) {
        if (row.pattern.compare(rule.pattern, Qt::CaseInsensitive) == 0)
            throw refused(QStringLiteral("There is already a redaction rule for the pattern ") + row.pattern +
                          QLatin1Char('.'));
    }
    if (position < 0 || position > stored.size() + 1)
        throw refused(QStringLiteral("The position must be from 1 to %1.").arg(stored.size() + 1));
    const qsizetype at = position == 0 ? stored.size() : position - 1;
    stored.insert(at, {rule.pattern, rule.replacement});
    const auto unit = m_database.transaction();
    m_database.replaceRedactionRules(stored);
    AuditLog::record(m_database, QStringLiteral("redaction"),
                     QStringLiteral("add pattern=%1; replacement=%2; position=%3")
                         .arg(rule.pattern, rule.replacement)
                         .arg(at + 1));
    unit->commit();
}

void RedactionStore::remove(const QString& pattern) {
    QList<ManagerDatabase::RedactionRule> stored = m_database.redactionRules();
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored.at(i).pattern.compare(pattern, Qt::CaseInsensitive) != 0)
            continue;
        const QString removed = stored.takeAt(i).pattern;
        const auto unit = m_database.transaction();
        m_database.replaceRedactionRules(stored);
        AuditLog::record(m_database, QStringLiteral("redaction"),
                         QStringLiteral("remove pattern=") + removed);
        unit->commit();
        return;
    }
    throw refused(QStringLiteral("There is no redaction rule for the pattern ") + pattern + QLatin1Char('.'));
}

RedactionStore::Rewrite RedactionStore::apply() {
    const RedactionRules rules = compiled();
    Rewrite rewrite;
    {
        const auto unit = m_database.transaction();
        const QList<ManagerDatabase::NamedRow> titles = m_database.appTitles();
        // Titles match without regard to letter case, as the import finds them.
        QHash<QString, int> keys;
        for (const ManagerDatabase::NamedRow& row : titles) {
            const QString folded = row.name.toCaseFolded();
            if (!keys.contains(folded))
                keys.insert(folded, row.id);
        }
        for (const ManagerDatabase::NamedRow& row : titles) {
            const std::optional<QString> replacement = rules.replacementOf(row.name);
            if (!replacement)
                continue;
            const QString stored = BlankDoubleQuotes(*replacement);
            int target = keys.value(stored.toCaseFolded(), -1);
            if (target == row.id)
                continue; // already the replacement
            if (target < 0) {
                target = m_database.addAppTitle(stored);
                keys.insert(stored.toCaseFolded(), target);
            }
            rewrite.rows += m_database.retitleUsage(row.id, target);
            ++rewrite.titles;
        }
        AuditLog::record(m_database, QStringLiteral("redaction"),
                         QStringLiteral("apply rules=%1; titles=%2; usage-rows=%3")
                             .arg(rules.size())
                             .arg(rewrite.titles)
                             .arg(rewrite.rows));
        unit->commit();
    }
    if (rewrite.titles > 0) {
        try {
            rewrite.scrubbed = !m_database.inTransaction() && m_database.scrubFreedSpace();
        } catch (const VcError&) {
            rewrite.scrubbed = false;
        }
    }
    return rewrite;
}

QString RedactionStore::rewriteText(const Rewrite& rewrite) {
    QString text = QStringLiteral("Redaction applied: %1 stored titles replaced, %2 usage rows moved onto "
                                  "their replacements.")
                       .arg(rewrite.titles)
                       .arg(rewrite.rows);
    if (!rewrite.scrubbed)
        text += QStringLiteral(" Another program is reading the database, so the old titles could not yet be "
                               "overwritten everywhere in its files; the next rewrite or purge does it.");
    return text;
}
