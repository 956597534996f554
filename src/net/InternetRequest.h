// The WinINet back-end of CBaseRequest (Windows only). It adds no state of
// its own; the handles of the base are WinINet handles. It always talks TLS:
// its "plain" attempt repeats the secure one.
//
// Classes in this file: CInternetRequest.
#pragma once

#include "net/BaseRequest.h"

class CInternetRequest : public CBaseRequest {
public:
    CInternetRequest() = default;
    ~CInternetRequest() override;

    const char* GetTypeName() override;
    bool GetUrlFileSize(int* size) override;
    int HttpRead(void* buffer, int capacity) override;
    bool OpenSession() override;
    bool ConnectSession(bool secure) override;
    bool OpenRequest(bool secure) override;
    bool SendRequest() override;
    bool GetStatusCode(int* status) override;
    bool QueryHeader(const char* name, std::string& value) override;
    void CloseRequestHandle() override;

private:
    void CloseHandles();
    // One header as text (a query level of HttpQueryInfo; name for a custom one).
    bool QueryText(unsigned long level, const char* name, std::string& value, bool logMissing);
};
