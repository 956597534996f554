// The process-wide WinINet options, the user's proxy settings and the
// User-Agent shared by both back-ends of CBaseRequest.
#include "net/BaseRequest.h"
#include "net/ProxySettings.h"

#include "logging/Log.h"
#include "logging/TextFormat.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <new>

bool CBaseRequest::QueryInternetOpt(uint32_t option, std::string& bytes)
{
    DWORD length = 0;
    // The first call only measures; a success here means there is nothing to read.
    if (InternetQueryOptionW(nullptr, option, nullptr, &length))
        return false;
    char* buffer = new (std::nothrow) char[length + 1];
    if (buffer == nullptr) {
        LOG_INFO("ERR: new %d bytes fail!", static_cast<int>(length));
        return false;
    }
    if (!InternetQueryOptionW(nullptr, option, buffer, &length)) {
        LOG_INFO("ERR: InternetQueryOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        delete[] buffer;
        return false;
    }
    bytes.assign(buffer, length);
    delete[] buffer;
    return true;
}

namespace {

bool FirstWordEquals(const std::string& bytes, uint32_t value)
{
    if (bytes.size() < sizeof(uint32_t))
        return false;
    uint32_t first = 0;
    std::memcpy(&first, bytes.data(), sizeof(first));
    return first == value;
}

} // namespace

bool CBaseRequest::InternetSetOpt(uint32_t option, uint32_t value)
{
    std::string bytes;
    if (QueryInternetOpt(option, bytes) && FirstWordEquals(bytes, value))
        return true;
    DWORD data = value;
    if (!InternetSetOptionW(nullptr, option, &data, sizeof(data))) {
        LOG_INFO("ERR: InternetSetOption fail! 0x%x", static_cast<unsigned>(GetLastError()));
        return false;
    }
    bytes.clear();
    return QueryInternetOpt(option, bytes) && FirstWordEquals(bytes, value);
}

namespace {

// "Pathwick-Setup/<version> (Windows NT <major>.<minor>)", made once. The
// real version of the system: GetVersionEx answers what the program's
// manifest declares, RtlGetVersion does not.
struct UserAgentText {
    wchar_t text[80] = {};
    UserAgentText()
    {
        using GetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        auto proc = reinterpret_cast<GetVersionProc>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
        if (proc == nullptr || proc(&info) != 0)
            info.dwMajorVersion = info.dwMinorVersion = 0;
        FormatTextInto(text, 80, L"Pathwick-Setup/" PW_VERSION_TEXT L" (Windows NT %d.%d)",
                       static_cast<int>(info.dwMajorVersion), static_cast<int>(info.dwMinorVersion));
    }
};

} // namespace

const wchar_t* RequestUserAgent()
{
    static const UserAgentText agent;
    return agent.text;
}

namespace {

std::wstring TakeOptionText(LPWSTR text)
{
    if (text == nullptr)
        return std::wstring();
    std::wstring value(text);
    GlobalFree(text);
    return value;
}

} // namespace

bool ReadUserProxySettings(UserProxySettings& settings)
{
    INTERNET_PER_CONN_OPTIONW options[4] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.dwOptionCount = 4;
    list.pOptions = options;
    DWORD length = sizeof(list);
    if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &length)) {
        LOG_INFO("ERR:InternetQueryOption (proxy settings) fail %u", static_cast<unsigned>(GetLastError()));
        return false;
    }
    DWORD flags = options[0].Value.dwValue;
    settings.strProxy = TakeOptionText(options[1].Value.pszValue);
    settings.strBypass = TakeOptionText(options[2].Value.pszValue);
    settings.strScript = TakeOptionText(options[3].Value.pszValue);
    settings.bFixed = (flags & PROXY_TYPE_PROXY) != 0 && !settings.strProxy.empty();
    settings.bAutoDetect = (flags & PROXY_TYPE_AUTO_DETECT) != 0;
    if ((flags & PROXY_TYPE_AUTO_PROXY_URL) == 0)
        settings.strScript.clear();
    // Some systems answer without the script the user set; its value in the
    // user's Internet Settings is read directly then.
    if (settings.strScript.empty()) {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                         L"AutoConfigURL", RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS)
            settings.strScript = value;
    }
    return true;
}
