#include "system/Process.h"

const wchar_t kSilentInstallerSwitches[] = L" /verysilent /corvane_down /wait_run /path=\"";

bool BuildSilentInstallerCommandLine(const std::wstring& installFolder, std::wstring& commandLine)
{
    if (installFolder.size() > kInstallFolderMax || installFolder.find(L'"') != std::wstring::npos)
        return false;
    std::wstring line = kSilentInstallerSwitches;
    line += installFolder;
    // 2n backslashes before a quote read as n and the quote still closes.
    for (size_t i = installFolder.size(); i > 0 && installFolder[i - 1] == L'\\'; --i)
        line += L'\\';
    line += L'"';
    if (line.size() + 1 > kInstallerCommandLineBuffer)
        return false;
    commandLine = line;
    return true;
}

namespace {

const wchar_t kAdministrators[] = L"S-1-5-32-544";
const wchar_t kSystem[] = L"S-1-5-18";
const wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const wchar_t kOwnerRights[] = L"S-1-3-4";

// File and folder rights that change or replace what is there.
constexpr uint32_t kWriteData = 0x0002;       // FILE_WRITE_DATA, FILE_ADD_FILE
constexpr uint32_t kAppendData = 0x0004;      // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
constexpr uint32_t kDeleteChild = 0x0040;     // FILE_DELETE_CHILD
constexpr uint32_t kDelete = 0x00010000;
constexpr uint32_t kWriteDac = 0x00040000;
constexpr uint32_t kWriteOwner = 0x00080000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kReplaceRights = kDeleteChild | kDelete | kWriteDac | kWriteOwner | kGenericAll;
constexpr uint32_t kChangeRights = kReplaceRights | kWriteData | kAppendData | kGenericWrite;

bool IsTrustedPrincipal(const std::wstring& sid)
{
    return sid == kAdministrators || sid == kSystem || sid == kTrustedInstaller;
}

std::wstring Hex32(uint32_t value)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(value >> shift) & 15];
    return text;
}

} // namespace

std::wstring ReplaceRisk(const ObjectSecurity& object, bool nearProgram)
{
    const bool trustedOwner = IsTrustedPrincipal(object.strOwnerSid);
    if (!trustedOwner)
        return object.strPath + L": owned by " + (object.strOwnerSid.empty() ? L"an unknown owner" : object.strOwnerSid) +
               L", who can change its permissions";
    if (!object.bHasDacl)
        return object.strPath + L": no access list, so everyone can change it";
    const uint32_t counted = nearProgram ? kChangeRights : kReplaceRights;
    for (const AccessEntry& entry : object.vecEntries) {
        if (!entry.bAllow || entry.bInheritOnly || (entry.nMask & counted) == 0)
            continue;
        // OWNER RIGHTS names the owner, trusted by now.
        if (IsTrustedPrincipal(entry.strSid) || entry.strSid == kOwnerRights)
            continue;
        return object.strPath + L": " + entry.strSid + L" may change it (access " + Hex32(entry.nMask) +
               (entry.bInherited ? L", inherited)" : L")");
    }
    return std::wstring();
}
