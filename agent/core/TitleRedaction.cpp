// Parsing and matching of title redaction rules.
#include "agent/core/TitleRedaction.h"

#include "agent/core/TitleText.h"

namespace vcagent {

char32_t foldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c < 0xB5)
        return c;
    if (c == 0xB5)
        return 0x3BC; // micro sign folds to Greek small mu
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20; // Latin-1 capitals (not the multiplication sign)
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149)
            return c; // dotted capital I, dotless i, kra, n preceded by apostrophe
        if (c == 0x178)
            return 0xFF;
        if (c == 0x17F)
            return U's';
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c; // odd capitals
        return (c & 1) ? c : c + 1;     // even capitals
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c == 0x3C2)
        return 0x3C3; // final sigma
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

std::u32string codePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

bool wildcardMatch(std::u32string_view pattern, std::u32string_view text) {
    // Greedy with one back-track point: the last `*` absorbs one more character
    // whenever what follows it fails, which is enough for anchored globs.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starAt = std::u32string_view::npos;
    std::size_t starText = 0;
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

namespace {

std::u32string folded(std::string_view utf8) {
    std::u32string out = codePoints(utf8);
    for (char32_t& c : out)
        c = foldCase(c);
    return out;
}

} // namespace

TitleRedaction TitleRedaction::parse(const std::vector<std::string>& lines) {
    TitleRedaction redaction;
    for (const std::string& line : lines) {
        const std::size_t split = line.rfind('=');
        const std::string pattern = split == std::string::npos ? line : line.substr(0, split);
        const std::string replacement = split == std::string::npos ? "(private)" : line.substr(split + 1);
        const std::u32string points = folded(pattern);
        const char* reason = nullptr;
        if (points.empty())
            reason = "empty pattern";
        else if (points.find_first_not_of(U'*') == std::u32string::npos)
            reason = "the pattern matches every title";
        else if (points.find_first_not_of(U"*?") == std::u32string::npos &&
                 points.find(U'*') != std::u32string::npos)
            // "?*" takes every title there is ("??" only those of two letters, which a site may mean).
            reason = "the pattern is wildcards alone with a *: it matches nearly every title";
        else if (points.size() > kMaxPatternLength)
            reason = "pattern longer than 1,024 characters";
        else if (replacement.empty())
            reason = "empty replacement";
        if (reason) {
            redaction.m_rejected.push_back(Rejected{line, reason});
            continue;
        }
        // The replacement is stored as a title: the same cleaning applies.
        const std::u32string rep32 = codePoints(replacement);
        std::u16string rep16;
        for (char32_t c : rep32) {
            if (c >= 0x10000) {
                rep16.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                rep16.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                rep16.push_back(static_cast<char16_t>(c));
            }
        }
        std::string clean = cleanText(rep16);
        if (clean.empty()) {
            redaction.m_rejected.push_back(Rejected{line, "empty replacement"});
            continue;
        }
        redaction.m_rules.push_back(Rule{points, std::move(clean)});
    }
    return redaction;
}

std::string TitleRedaction::apply(const std::string& title) const {
    if (m_rules.empty())
        return title;
    const std::u32string text = folded(title);
    for (const Rule& rule : m_rules)
        if (wildcardMatch(rule.pattern, text))
            return rule.replacement;
    return title;
}

} // namespace vcagent
