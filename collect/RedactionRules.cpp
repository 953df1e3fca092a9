// The console's side of the redaction language: its folding and matching are the agent's own
// (agent/core), so a rule behaves the same on both sides.
#include "collect/RedactionRules.h"

#include "agent/core/TitleRedaction.h"
#include "agent/core/TitleText.h"

#include <algorithm>
#include <string>

namespace {

std::u32string folded(const QString& text) {
    std::u32string out;
    out.reserve(size_t(text.size()));
    for (const char32_t c : text.toUcs4())
        out.push_back(vcagent::foldCase(c));
    return out;
}

} // namespace

bool RedactionRules::matches(const QString& pattern, const QString& text) {
    return vcagent::wildcardMatch(folded(pattern), folded(text));
}

RedactionRules::Rule RedactionRules::fromLine(const QString& line) {
    const qsizetype split = line.lastIndexOf(QLatin1Char('='));
    if (split < 0)
        return {line, defaultReplacement()};
    return {line.left(split), line.mid(split + 1)};
}

QString RedactionRules::cleanReplacement(const QString& replacement) {
    // Cleaned as the agent cleans a title: the same characters dropped, the same length.
    const std::u16string_view utf16(reinterpret_cast<const char16_t*>(replacement.utf16()),
                                    size_t(replacement.size()));
    return QString::fromStdString(vcagent::cleanText(utf16, size_t(kMaxPatternLength)));
}

QString RedactionRules::refusal(const Rule& rule) {
    const QList<uint> points = rule.pattern.toUcs4();
    if (points.isEmpty())
        return QStringLiteral("empty pattern");
    if (std::all_of(points.begin(), points.end(), [](uint c) { return c == U'*'; }))
        return QStringLiteral("the pattern matches every title");
    // "?*" takes every title there is ("??" only those of two letters, which a site may mean).
    if (points.contains(U'*') &&
        std::all_of(points.begin(), points.end(), [](uint c) { return c == U'*' || c == U'?'; }))
        return QStringLiteral("the pattern is wildcards alone with a *: it matches nearly every title");
    if (points.size() > kMaxPatternLength)
        return QStringLiteral("pattern longer than 1,024 characters");
    if (cleanReplacement(rule.replacement).isEmpty())
        return QStringLiteral("empty replacement");
    return {};
}

RedactionRules::RedactionRules(const QList<Rule>& rules) {
    for (const Rule& rule : rules) {
        if (refusal(rule).isEmpty())
            m_rules.append({folded(rule.pattern), cleanReplacement(rule.replacement)});
    }
}

std::optional<QString> RedactionRules::replacementOf(const QString& title) const {
    if (m_rules.isEmpty())
        return std::nullopt;
    const std::u32string text = folded(title);
    for (const Compiled& rule : m_rules) {
        if (vcagent::wildcardMatch(rule.pattern, text))
            return rule.replacement;
    }
    return std::nullopt;
}
