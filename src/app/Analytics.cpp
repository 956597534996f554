#include "app/Analytics.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "app/InstallFlow.h"
#include "config/DeploymentSettings.h"
#include "logging/Log.h"
#include "net/HttpBeacon.h"
#include "system/SystemInfo.h"
#include "system/WinHandle.h"

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Brisklane\\Pathwick";
const wchar_t kPolicyValue[] = L"DisableAnalytics";

// Set by PrepareAnalytics before any send.
std::atomic<bool> bAnalyticsOn{false};

std::mutex mtxSends;
std::vector<HANDLE> vecSendThreads;   // kept until the process ends

// Whether the policy value is a DWORD other than 0 in either registry view
// (policy tools write the native view; a 32-bit tool writes the other).
bool PolicyDisables(HKEY root)
{
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        CScopedRegKey key;
        if (RegOpenKeyExW(root, kPolicyKey, 0, KEY_QUERY_VALUE | view, key.Receive()) != ERROR_SUCCESS)
            continue;
        DWORD value = 0;
        DWORD type = 0;
        DWORD bytes = sizeof(value);
        if (RegQueryValueExW(key.Get(), kPolicyValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && value != 0)
            return true;
    }
    return false;
}

DWORD WINAPI SendThread(LPVOID parameter)
{
    return CHttpBeacon::BeaconThreadProc(static_cast<BeaconTask*>(parameter));
}

} // namespace

std::wstring AnalyticsOffReason(bool switchedOff)
{
    if (switchedOff)
        return L"the /NOANALYTICS switch";
    if (PolicyDisables(HKEY_LOCAL_MACHINE))
        return L"the policy under HKEY_LOCAL_MACHINE";
    if (PolicyDisables(HKEY_CURRENT_USER))
        return L"the policy under HKEY_CURRENT_USER";
    return std::wstring();
}

void PrepareAnalytics(const LanguageManager& languages, bool switchedOff)
{
    const std::wstring reason = AnalyticsOffReason(switchedOff);
    if (!reason.empty()) {
        bAnalyticsOn = false;
        LOG_INFO_W(L"analytics are off: %ls", reason.c_str());
        return;
    }
    const std::wstring clientId = GetClientId();
    const std::wstring title = languages.GetGaTitle();
    CHttpBeacon::Instance()->SetUrls(
        BuildAnalyticsUrl(kCollectorHost, kAnalyticsPropertyId, clientId, title, L"Downloader_Start_Install"),
        BuildAnalyticsUrl(kCollectorHost, kAnalyticsPropertyId, clientId, title, L"Downloader_Installed"));
    bAnalyticsOn = true;
}

void SendAnalyticsEvent(bool first)
{
    if (!bAnalyticsOn)
        return;
    auto* task = new BeaconTask();
    task->sender = CHttpBeacon::Instance();
    task->first = first;
    HANDLE thread = CreateThread(nullptr, 0, &SendThread, task, 0, nullptr);
    if (thread == nullptr) {
        delete task;
        return;
    }
    std::lock_guard<std::mutex> lock(mtxSends);
    vecSendThreads.push_back(thread);
}

void WaitForAnalyticsEvents(DWORD waitMs)
{
    std::vector<HANDLE> threads;
    {
        std::lock_guard<std::mutex> lock(mtxSends);
        threads = vecSendThreads;
    }
    if (threads.empty())
        return;
    if (threads.size() > MAXIMUM_WAIT_OBJECTS)
        threads.resize(MAXIMUM_WAIT_OBJECTS);
    if (WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, waitMs) == WAIT_TIMEOUT)
        LOG_INFO("analytics: a send did not finish within %lu ms", static_cast<unsigned long>(waitMs));
}
