// The console's side of the redaction language; tests hold it to the agent's answers.
#include "collect/RedactionRules.h"

#include <algorithm>
#include <string>

namespace {

std::u32string folded(const QString& text) {
    std::u32string out;
    out.reserve(size_t(text.size()));
    for (const char32_t c : text.toUcs4())
        out.push_back(RedactionRules::foldCase(c));
    return out;
}

bool wildcardMatch(std::u32string_view pattern, std::u32string_view text) {
    // One back-track point is enough for anchored patterns of `*` and `?`: the last `*` takes one
    // more character whenever what follows it fails.
    size_t p = 0;
    size_t t = 0;
    size_t starAt = std::u32string_view::npos;
    size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starAt = p++;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starAt != std::u32string_view::npos) {
            p = starAt + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

bool isDropped(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true;
    if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
        (c >= 0x2066 && c <= 0x2069))
        return true;
    if (c == 0x2028 || c == 0x2029 || (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF)
        return true;
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

} // namespace

char32_t RedactionRules::foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c < 0xB5)
        return c;
    if (c == 0xB5)
        return 0x3BC;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149)
            return c;
        if (c == 0x178)
            return 0xFF;
        if (c == 0x17F)
            return U's';
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c == 0x3C2)
        return 0x3C3;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

bool RedactionRules::matches(const QString& pattern, const QString& text) {
    return wildcardMatch(folded(pattern), folded(text));
}

RedactionRules::Rule RedactionRules::fromLine(const QString& line) {
    const qsizetype split = line.lastIndexOf(QLatin1Char('='));
    if (split < 0)
        return {line, defaultReplacement()};
    return {line.left(split), line.mid(split + 1)};
}

QString RedactionRules::cleanReplacement(const QString& replacement) {
    std::u32string kept;
    // Lone surrogates come out of toUcs4 as themselves; they are no characters of a title.
    for (char32_t c : replacement.toUcs4()) {
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (!isDropped(c))
            kept.push_back(c);
    }
    size_t begin = 0;
    size_t end = kept.size();
    while (begin < end && kept[begin] == U' ')
        ++begin;
    while (end > begin && kept[end - 1] == U' ')
        --end;
    if (end - begin > size_t(kMaxPatternLength)) {
        end = begin + size_t(kMaxPatternLength);
        while (end > begin && kept[end - 1] == U' ')
            --end;
    }
    return QString::fromUcs4(kept.data() + begin, qsizetype(end - begin));
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
        if (wildcardMatch(rule.pattern, text))
            return rule.replacement;
    }
    return std::nullopt;
}
