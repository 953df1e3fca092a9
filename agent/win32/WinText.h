// Text conversions between the Windows API (UTF-16) and the agent (UTF-8), and
// error texts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vcagent {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
std::u16string toU16(std::wstring_view text);
// "text of the system message (error N)".
std::string errorText(DWORD code);

} // namespace vcagent
