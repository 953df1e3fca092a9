// Turns raw window titles and user names (UTF-16, as Windows gives them) into
// the text the agent stores: valid UTF-8, no control characters, at most
// kMaxTitleLength characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vcagent {

// Longer titles are cut, not dropped: the start of a title is what identifies
// the program.
inline constexpr std::size_t kMaxTitleLength = 1024;

// Control characters (C0, DEL, C1), bidirectional controls, line and paragraph
// separators, zero-width characters and noncharacters are removed; an unpaired surrogate becomes
// U+FFFD; the result holds at most maxLength characters (code points), leading
// and trailing blanks removed, so titles that differ only there count as one.
std::string cleanText(std::u16string_view raw, std::size_t maxLength = kMaxTitleLength);

} // namespace vcagent
