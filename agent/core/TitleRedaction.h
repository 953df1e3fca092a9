// Title redaction: ordered `pattern=replacement` rules that replace a window
// title before it is stored, so a redacted title never leaves the workstation.
// The pattern language is the console's too (docs/privacy.md, "Title redaction
// patterns"): `*` any run of characters, `?` one character, anything else
// itself ignoring letter case, anchored at both ends; the first matching rule wins.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vcagent {

class TitleRedaction {
public:
    struct Rule {
        std::u32string pattern; // folded
        std::string replacement;
    };
    struct Rejected {
        std::string line;
        std::string reason;
    };

    static constexpr std::size_t kMaxPatternLength = 1024;

    // One rule per line, split at the line's last `=`; a line without `=` means
    // the replacement "(private)". Invalid lines are kept aside in rejected().
    static TitleRedaction parse(const std::vector<std::string>& lines);

    // The replacement of the first rule whose pattern matches the whole title,
    // else the title itself.
    std::string apply(const std::string& title) const;

    const std::vector<Rule>& rules() const { return m_rules; }
    const std::vector<Rejected>& rejected() const { return m_rejected; }
    bool empty() const { return m_rules.empty(); }

private:
    std::vector<Rule> m_rules;
    std::vector<Rejected> m_rejected;
};

// The letter-case folding of the pattern language: exactly ASCII, Latin-1,
// Latin Extended-A, basic Greek and basic Cyrillic capitals fold to their small
// letters (and U+00B5, U+017F, U+03C2 to U+03BC, `s`, U+03C3); every other code
// point is itself.
char32_t foldCase(char32_t c);

// True when the folded pattern matches the whole folded text.
bool wildcardMatch(std::u32string_view pattern, std::u32string_view text);

// UTF-8 to code points, invalid bytes becoming U+FFFD.
std::u32string codePoints(std::string_view utf8);

} // namespace vcagent
