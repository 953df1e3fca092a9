// Title redaction in the console: ordered wildcard rules, the same language as the agent's
// (docs/privacy.md, "Title redaction patterns"), applied before a title reaches the store.
#pragma once

#include <optional>
#include <QList>
#include <QString>

class RedactionRules {
public:
    struct Rule {
        QString pattern;
        QString replacement;
    };

    static constexpr int kMaxPatternLength = 1024;
    static QString defaultReplacement() { return QStringLiteral("(private)"); }

    // A `pattern=replacement` line split at its last `=`; a line without one means "(private)".
    static Rule fromLine(const QString& line);
    // Why the rule cannot be used (the agent's words), or nothing when it can.
    static QString refusal(const Rule& rule);
    // The replacement as it is stored: control, bidirectional and zero-width characters
    // removed, blanks trimmed, at most 1,024 characters, as titles are cleaned.
    static QString cleanReplacement(const QString& replacement);

    // The rules in order; refused ones are left out.
    explicit RedactionRules(const QList<Rule>& rules = {});

    bool isEmpty() const { return m_rules.isEmpty(); }
    qsizetype size() const { return m_rules.size(); }
    // The replacement of the first rule whose pattern matches the whole title, letter case
    // folded; nothing when none does.
    std::optional<QString> replacementOf(const QString& title) const;

    // Whether the pattern matches the whole text: `*` any run, `?` one code point, letter case
    // folded by the language's table.
    static bool matches(const QString& pattern, const QString& text);

private:
    struct Compiled {
        std::u32string pattern; // folded
        QString replacement;
    };
    QList<Compiled> m_rules;
};
