// Folder descriptors, checks and link-safe deletion.
#include "agent/win32/FolderSecurity.h"

#include "agent/win32/AgentPaths.h"
#include "agent/win32/WinText.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <wincrypt.h>

#include <algorithm>
#include <cwctype>

namespace vcagent {

namespace {

constexpr const wchar_t* kTrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1851281369-2271426893";

std::wstring sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return {};
    std::wstring out = text;
    LocalFree(text);
    return out;
}

bool contains(const std::vector<std::wstring>& list, const std::wstring& sid) {
    return std::find(list.begin(), list.end(), sid) != list.end();
}

// Rights that read and list only.
constexpr DWORD kReadRights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;

struct Descriptor {
    PSECURITY_DESCRIPTOR sd = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    ~Descriptor() { LocalFree(sd); }
};

DWORD readDescriptor(const std::filesystem::path& folder, Descriptor& d) {
    return GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &d.owner, nullptr,
                                 &d.dacl, nullptr, &d.sd);
}

// What is wrong with the ACEs: any deny, or an allow for a SID outside the
// lists, or more than reading for a SID in readSids. explicitOnly skips the
// entries inherited from the parent (they are replaced anyway).
std::string judgeAces(PACL dacl, const std::vector<std::wstring>& fullSids,
                      const std::vector<std::wstring>& readSids, bool explicitOnly) {
    if (!dacl)
        return "it has no access list (everyone may do anything)";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(dacl, i, &raw))
            return "its access list cannot be read";
        const auto* header = static_cast<ACE_HEADER*>(raw);
        if (explicitOnly && (header->AceFlags & INHERITED_ACE))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue; // deny entries take rights away; they grant nothing
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        const std::wstring sid = sidText(&ace->SidStart);
        if (contains(fullSids, sid))
            continue;
        if ((ace->Mask & ~kReadRights) == 0)
            continue; // reading is what the share grants anyway
        if (contains(readSids, sid) || !explicitOnly)
            return "it grants " + narrow(sid) + " more than reading";
        return "it grants " + narrow(sid) + " access";
    }
    return {};
}

std::string ownerProblem(PSID owner) {
    const std::wstring sid = sidText(owner);
    if (sid == L"S-1-5-32-544" || sid == L"S-1-5-18" || sid == kTrustedInstaller)
        return {};
    return "it belongs to " + narrow(sid.empty() ? L"nobody" : sid) +
           ", not to the administrators: move it aside or delete it, then install again";
}

} // namespace

bool ownersKept() {
    // Wine maps every file to the Unix user and keeps no owner of its own: there
    // the owner and access list checks cannot say anything.
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return !wine;
}

bool isElevated() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(nullptr, sid, &member) && member;
}

std::wstring serviceSidText() {
    // SHA-1 of the upper-case service name in UTF-16LE, as five sub-authorities
    // under S-1-5-80: the rule Windows itself uses for service SIDs.
    std::wstring name = kServiceName;
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towupper(c));
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[20] = {};
    DWORD size = sizeof digest;
    const bool ok = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
                    CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
                    CryptHashData(hash, reinterpret_cast<const BYTE*>(name.data()),
                                  static_cast<DWORD>(name.size() * sizeof(wchar_t)), 0) &&
                    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    if (!ok)
        return {};
    std::wstring text = L"S-1-5-80";
    for (int i = 0; i < 5; ++i) {
        const DWORD part = static_cast<DWORD>(digest[4 * i]) | static_cast<DWORD>(digest[4 * i + 1]) << 8 |
                           static_cast<DWORD>(digest[4 * i + 2]) << 16 |
                           static_cast<DWORD>(digest[4 * i + 3]) << 24;
        text += L"-" + std::to_wstring(part);
    }
    return text;
}

std::wstring rootDacl(const std::wstring& groupSid) {
    return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + serviceSidText() + L")(A;OICI;FRFX;;;" +
           groupSid + L")";
}

std::wstring privateDacl() {
    return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + serviceSidText() + L")";
}

std::wstring programDacl() {
    // Everyone may run the program; only the administrators may change it.
    return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
}

std::string secureFolder(const std::filesystem::path& folder, const std::wstring& dacl) {
    const std::wstring sddl = L"O:BA" + dacl;
    PSECURITY_DESCRIPTOR wanted = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &wanted,
                                                              nullptr))
        return "descriptor: " + errorText(GetLastError());
    struct Free {
        PSECURITY_DESCRIPTOR sd;
        ~Free() { LocalFree(sd); }
    } freeWanted{wanted};

    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), wanted, FALSE};
        if (!CreateDirectoryW(folder.c_str(), &security))
            return "cannot create it: " + errorText(GetLastError());
        return {};
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "it is a link or junction to somewhere else: remove it, then install again";
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "it is a file, not a folder";
    // Where owners are kept: someone else's folder, or one that grants others
    // more than reading, is not taken over.
    if (ownersKept()) {
        Descriptor existing;
        if (const DWORD rc = readDescriptor(folder, existing); rc != ERROR_SUCCESS)
            return "its permissions cannot be read: " + errorText(rc);
        if (std::string why = ownerProblem(existing.owner); !why.empty())
            return why;
        const std::vector<std::wstring> trusted{L"S-1-5-18", L"S-1-5-32-544", serviceSidText(),
                                                kTrustedInstaller};
        if (std::string why = judgeAces(existing.dacl, trusted, {}, true); !why.empty())
            return why + ": move it aside or delete it, then install again";
    }

    PSID owner = nullptr;
    PACL newDacl = nullptr;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(wanted, &owner, &defaulted);
    GetSecurityDescriptorDacl(wanted, &present, &newDacl, &defaulted);
    std::wstring path = folder.wstring();
    const DWORD rc = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                               PROTECTED_DACL_SECURITY_INFORMATION,
                                           owner, nullptr, newDacl, nullptr);
    if (rc != ERROR_SUCCESS)
        return "its permissions cannot be set: " + errorText(rc);
    return {};
}

std::string checkFolder(const std::filesystem::path& folder, const std::vector<std::wstring>& fullSids,
                        const std::vector<std::wstring>& readSids) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "missing";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "a link or junction";
    if (!ownersKept())
        return kCannotShowOwners;
    Descriptor d;
    if (const DWORD rc = readDescriptor(folder, d); rc != ERROR_SUCCESS)
        return "permissions unreadable: " + errorText(rc);
    if (std::string why = ownerProblem(d.owner); !why.empty())
        return "owner: " + why;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(d.sd, &control, &revision) || !(control & SE_DACL_PROTECTED))
        return "its access list inherits from the folder above";
    std::string why = judgeAces(d.dacl, fullSids, readSids, false);
    return why;
}

std::string removeTree(const std::filesystem::path& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {};
    // A link is removed as a link: RemoveDirectory on a junction removes the
    // junction, never what it points to.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        const BOOL ok = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(folder.c_str())
                                                                : DeleteFileW(folder.c_str());
        return ok ? std::string() : narrow(folder.wstring()) + ": " + errorText(GetLastError());
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        return DeleteFileW(folder.c_str()) ? std::string()
                                           : narrow(folder.wstring()) + ": " + errorText(GetLastError());
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder / L"*").c_str(), &entry);
    std::string failure;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (std::string why = removeTree(folder / name); !why.empty() && failure.empty())
                failure = why;
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    if (!failure.empty())
        return failure;
    return RemoveDirectoryW(folder.c_str()) ? std::string()
                                            : narrow(folder.wstring()) + ": " + errorText(GetLastError());
}

} // namespace vcagent
