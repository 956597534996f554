#include "app/InstallFlow.h"

#include "config/TextUtil.h"
#include "logging/TextFormat.h"
#include "system/Process.h"

#include <cstdio>

const char* WindowStateName(int state)
{
    switch (state) {
    case kWindow_Init: return "kWindow_Init";
    case kWindow_Downloading: return "kWindow_Downloading";
    case kWindow_Installing: return "kWindow_Installing";
    case kWindow_Finish: return "kWindow_Finish";
    default: return "";
    }
}

CloseAction DecideClose(uintptr_t wParam, bool startVisible, bool hasSwitch, bool closeAsked)
{
    if (wParam == kCloseNow)
        return kClose_Immediate;
    if (startVisible)
        return kClose_AfterFinish;
    if (hasSwitch && !closeAsked)
        return kClose_Ask;
    return kClose_Ignore;
}

std::wstring InstallRootFromField(const std::wstring& field)
{
    if (field.empty())
        return std::wstring();
    std::wstring root = field;
    for (wchar_t& c : root)
        if (c == L'/')
            c = L'\\';
    if (root.back() != L'\\')
        root += L'\\';
    return root;
}

namespace {

wchar_t AsciiUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (the system also takes the
// superscript digits 1, 2 and 3 there), whatever follows a dot, and with
// blanks before the dot ignored, as the system reads them.
bool IsReservedDeviceName(const std::wstring& component)
{
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = AsciiUpper(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
}

} // namespace

const char* InstallRootProblem(const std::wstring& root)
{
    if (root.empty())
        return "no folder";
    if (!InstallRootFitsCommandLine(root))
        return "longer than 210 characters";
    if (root.size() >= 2 && root[0] == L'\\' && root[1] == L'\\')
        return (root.size() >= 4 && (root[2] == L'?' || root[2] == L'.') && root[3] == L'\\')
                   ? "a device path (\\\\?\\ or \\\\.\\)"
                   : "a network (UNC) path";
    if (!IsAbsoluteInstallRoot(root))
        return "not an absolute path from the top of a drive (X:\\...)";
    size_t start = 3;
    for (size_t i = start; i <= root.size(); ++i) {
        const wchar_t c = i < root.size() ? root[i] : L'\\';
        if (c == L'"')
            return "a double quote";
        if (c < 0x20 || c == 0x7F)
            return "a control character";
        if (c == L'<' || c == L'>' || c == L'|' || c == L'?' || c == L'*' || c == L':')
            return "a character no file name may hold (< > | ? * :)";
        if (c != L'\\')
            continue;
        const std::wstring component = root.substr(start, i - start);
        start = i + 1;
        if (component.empty()) {
            // Only after the root's own trailing separator.
            if (i < root.size())
                return "an empty component (two separators in a row)";
            continue;
        }
        if (component.back() == L'.' || component.back() == L' ')
            return "a component ending in a dot or a blank";
        if (IsReservedDeviceName(component))
            return "a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    }
    return nullptr;
}

bool InstallRootFitsCommandLine(const std::wstring& root)
{
    return root.size() <= kInstallFolderMax;
}

bool IsAbsoluteInstallRoot(const std::wstring& root)
{
    return root.size() >= 3 && ((root[0] >= L'A' && root[0] <= L'Z') || (root[0] >= L'a' && root[0] <= L'z')) &&
           root[1] == L':' && root[2] == L'\\';
}

std::wstring DriveOfRoot(const std::wstring& root)
{
    const size_t colon = root.find(L':');
    return colon == std::wstring::npos ? std::wstring() : root.substr(0, colon + 1);
}

int32_t FileSizeToMB(int32_t bytes)
{
    return bytes >> 20;
}

bool HasEnoughSpace(uint32_t freeMB, int32_t fileMB)
{
    return static_cast<int64_t>(freeMB) >= 3 * static_cast<int64_t>(fileMB);
}

std::wstring FormatStorageText(const std::wstring& storage, int32_t fileMB, const std::wstring& unit)
{
    return storage + L" " + IntToWide(3 * static_cast<int64_t>(fileMB)) + L" " +
           (unit.empty() ? std::wstring(L"MB") : unit);
}

std::wstring FormatDiskFailedText(const std::wstring& text, const std::wstring& drive, int64_t fileBytes,
                                  const std::wstring& unit)
{
    const int64_t neededMB = (3 * fileBytes + (1 << 20) - 1) >> 20;
    return ReplaceAll(ReplaceAll(text, L"{drive}", drive), L"{size}",
                      IntToWide(neededMB) + L" " + (unit.empty() ? std::wstring(L"MB") : unit));
}

std::wstring BuildAnalyticsUrl(const std::wstring& host, const std::wstring& propertyId,
                               const std::wstring& clientId, const std::wstring& title,
                               const std::wstring& action)
{
    return L"https://" + host + L"/collect?v=1&t=event&tid=" + propertyId + L"&cid=" + clientId + L"&ec=" +
           title + L" (Windows version)&ea=" + action + L"&el=" + clientId;
}

int MapDownloadProgress(int32_t value, int32_t total, std::atomic<int32_t>& lastProgress)
{
    if (total <= 0)
        return -1;
    int64_t v = value;
    const int32_t last = lastProgress.load();
    if (v < last)
        v = static_cast<int64_t>(last) + 10;
    if (v > total)
        v = total;
    lastProgress.store(static_cast<int32_t>(v));
    return static_cast<int>(static_cast<double>(v) / static_cast<double>(total) * 90.0);
}

int ProgressBarValue(int percent, bool rtl)
{
    return rtl ? 100 - percent : percent;
}

const SkinText kSkinTexts[] = {
    {L"btn_install", L"STR_INSTALL"},        {L"btn_hide", L"STR_HIDE"},
    {L"text_install", L"STR_INSTALLING"},    {L"btn_start", L"STR_START"},
    {L"label_path", L"STR_INSTALL_PATH"},    {L"btn_browse", L"STR_BROWSE"},
    {L"btn_lisence", L"STR_LISENCE"},        {L"label_install", L"STR_INSTALLING"},
    {L"chk_fold", L"STR_CUSTOMIZE_INSTALL"},
    // The proxy sign-in dialog.
    {L"proxy_title", L"STR_PROXY"},    {L"proxy_user_label", L"STR_USER"},
    {L"proxy_password_label", L"STR_PASSWORD"}, {L"proxy_again", L"STR_REFUSED"},
    {L"proxy_ok", L"STR_OK"},                {L"proxy_cancel", L"STR_CANCEL"},
};
const size_t kSkinTextCount = sizeof(kSkinTexts) / sizeof(kSkinTexts[0]);

std::wstring ProgressLabelText(int percent)
{
    return IntToWide(percent) + L" %";
}

int NextBannerIndex(int index, bool shown)
{
    return shown ? index + 1 : 1;
}

std::wstring BannerImagePath(const std::wstring& dataDir, const std::wstring& language, int index)
{
    return dataDir + L"language\\" + language + L"\\pr_" + IntToWide(index) + L".png";
}

std::wstring BannerTextKey(int index)
{
    return L"STR_BANNER_" + IntToWide(index);
}

bool IsBannerEntry(const std::wstring& entryName)
{
    const size_t slash = entryName.find_last_of(L"/\\");
    const std::wstring file = slash == std::wstring::npos ? entryName : entryName.substr(slash + 1);
    const std::wstring prefix = L"pr_";
    const std::wstring suffix = L".png";
    if (file.size() <= prefix.size() + suffix.size() || file.compare(0, prefix.size(), prefix) != 0 ||
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < file.size() - suffix.size(); ++i)
        if (file[i] < L'0' || file[i] > L'9')
            return false;
    return true;
}
