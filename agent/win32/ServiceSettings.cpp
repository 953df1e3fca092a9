// Registry settings.
#include "agent/win32/ServiceSettings.h"

#include "agent/win32/AgentPaths.h"
#include "agent/win32/WinText.h"

#include <windows.h>

namespace vcagent {

namespace {

struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h)
            RegCloseKey(h);
    }
};

bool openSettings(Key& key, REGSAM access, bool create = false) {
    if (create)
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, access, nullptr, &key.h,
                               nullptr) == ERROR_SUCCESS;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, access, &key.h) == ERROR_SUCCESS;
}

} // namespace

std::vector<std::string> readRedactionLines() {
    Key key;
    std::vector<std::string> lines;
    if (!openSettings(key, KEY_READ))
        return lines;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.h, L"RedactTitles", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || bytes > 1024 * 1024)
        return lines;
    std::wstring data(bytes / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.h, L"RedactTitles", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &bytes) != ERROR_SUCCESS)
        return lines;
    // The value may lack its final terminators: the buffer above has two spare.
    for (std::size_t at = 0; at < data.size() && data[at] != L'\0';) {
        const std::size_t end = data.find(L'\0', at);
        lines.push_back(narrow(std::wstring_view(data).substr(at, end - at)));
        at = end + 1;
    }
    return lines;
}

AgentSettings readSettings(const std::function<void(const std::string&)>& refused) {
    AgentSettings settings;
    Key key;
    if (!openSettings(key, KEY_READ))
        return settings;
    auto readDword = [&](const wchar_t* name, DWORD low, DWORD high, auto apply) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExW(key.h, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
            return;
        if (type != REG_DWORD || value < low || value > high) {
            refused("setting " + narrow(name) + " ignored: must be a number from " + std::to_string(low) +
                    " to " + std::to_string(high));
            return;
        }
        apply(value);
    };
    readDword(L"IdleLimitSeconds", 10, 86400, [&](DWORD v) { settings.idleLimit = Millis(v) * 1000; });
    readDword(L"RetentionDays", 1, 3650, [&](DWORD v) { settings.retentionDays = static_cast<int>(v); });
    readDword(L"PublishDays", 1, 3650, [&](DWORD v) { settings.publishDays = static_cast<int>(v); });
    settings.redaction = TitleRedaction::parse(readRedactionLines());
    for (const auto& rejected : settings.redaction.rejected())
        refused("RedactTitles line \"" + rejected.line + "\" ignored: " + rejected.reason);
    return settings;
}

std::wstring readShareGroupSid() {
    Key key;
    wchar_t text[256] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (openSettings(key, KEY_READ) &&
        RegQueryValueExW(key.h, L"ShareGroupSid", nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ && text[0] == L'S' && text[1] == L'-')
        return text;
    return L"S-1-5-32-544";
}

bool writeShareGroupSid(const std::wstring& sid) {
    Key key;
    return openSettings(key, KEY_SET_VALUE, true) &&
           RegSetValueExW(key.h, L"ShareGroupSid", 0, REG_SZ, reinterpret_cast<const BYTE*>(sid.c_str()),
                          static_cast<DWORD>((sid.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool writeRepublishDays(unsigned long days) {
    Key key;
    const DWORD value = days;
    return openSettings(key, KEY_SET_VALUE, true) &&
           RegSetValueExW(key.h, L"RepublishDays", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

int takeRepublishDays() {
    Key key;
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (!openSettings(key, KEY_READ | KEY_SET_VALUE) ||
        RegQueryValueExW(key.h, L"RepublishDays", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
        return 0;
    RegDeleteValueW(key.h, L"RepublishDays");
    return type == REG_DWORD && value >= 1 && value <= 3650 ? static_cast<int>(value) : 0;
}

} // namespace vcagent
