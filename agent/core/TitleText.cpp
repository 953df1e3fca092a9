// Cleaning of window titles and user names.
#include "agent/core/TitleText.h"

namespace vcagent {
namespace {

// Characters that carry no text of their own but can reorder, hide or break
// what a reader sees (a title shown reversed, two titles that look alike).
bool isDropped(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true; // C0, DEL, C1
    if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
        (c >= 0x2066 && c <= 0x2069))
        return true; // bidirectional controls
    if (c == 0x2028 || c == 0x2029)
        return true; // line and paragraph separators
    if ((c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF)
        return true;                                               // zero-width characters
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; // noncharacters
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

std::string cleanText(std::u16string_view raw, std::size_t maxLength) {
    std::u32string chars;
    chars.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char32_t c = raw[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < raw.size() && raw[i + 1] >= 0xDC00 &&
            raw[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(raw[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (!isDropped(c))
            chars.push_back(c);
    }
    std::size_t begin = 0;
    std::size_t end = chars.size();
    while (begin < end && chars[begin] == U' ')
        ++begin;
    while (end > begin && chars[end - 1] == U' ')
        --end;
    if (end - begin > maxLength) {
        end = begin + maxLength;
        while (end > begin && chars[end - 1] == U' ')
            --end;
    }
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i)
        appendUtf8(out, chars[i]);
    return out;
}

} // namespace vcagent
