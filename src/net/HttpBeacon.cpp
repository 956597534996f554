#include "net/HttpBeacon.h"

namespace {

// Eight characters (the length of "https://") are dropped whatever the URL
// begins with; a rest without "/" gives the whole rest for both names.
void SplitBeaconUrl(const std::wstring& url, std::wstring& host, std::wstring& path)
{
    std::wstring rest = url.size() > 8 ? url.substr(8) : std::wstring();
    size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos) {
        host = rest;
        path = rest;
        return;
    }
    host = rest.substr(0, slash);
    path = rest.substr(slash + 1);
}

} // namespace

CHttpBeacon* CHttpBeacon::Instance()
{
    // Lives until the process ends.
    static CHttpBeacon* instance = new CHttpBeacon();
    return instance;
}

void CHttpBeacon::SetUrls(const std::wstring& url1, const std::wstring& url2)
{
    SplitBeaconUrl(url1, strHost1, strPath1);
    SplitBeaconUrl(url2, strHost2, strPath2);
}

bool CHttpBeacon::SendFirstUrl()
{
    return HeadRequest(strHost1, strPath1);
}

bool CHttpBeacon::SendSecondUrl()
{
    return HeadRequest(strHost2, strPath2);
}

unsigned long CHttpBeacon::BeaconThreadProc(BeaconTask* task)
{
    if (task == nullptr)
        return 0;
    task->result = task->first ? task->sender->SendFirstUrl() : task->sender->SendSecondUrl();
    delete task;
    return 0;
}

#ifndef _WIN32
// Without WinHTTP no exchange can be made.
bool CHttpBeacon::HeadRequest(const std::wstring&, const std::wstring&)
{
    return false;
}

bool CHttpBeacon::StartSend(bool)
{
    return false;
}
#endif
