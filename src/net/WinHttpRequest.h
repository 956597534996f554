// The WinHTTP back-end of CBaseRequest (Windows only). It adds no state of
// its own; the handles of the base are WinHTTP handles.
//
// Classes in this file: CWinHttpRequest.
#pragma once

#include "net/BaseRequest.h"

class CWinHttpRequest : public CBaseRequest {
public:
    CWinHttpRequest() = default;
    ~CWinHttpRequest() override;

    const char* GetTypeName() override;
    bool GetUrlFileSize(int* size) override;
    int HttpRead(void* buffer, int capacity) override;
    bool OpenSession() override;
    bool ConnectSession(bool secure) override;
    bool OpenRequest(bool secure) override;
    bool SendRequest() override;
    bool GetStatusCode(int* status) override;
    bool QueryHeader(const char* name, std::string& value) override;

private:
    void CloseHandles();
    // After a 407: sets the sign-in the proxy asks for on the request; false
    // when there is nothing (more) to offer and the 407 is the answer.
    bool AnswerProxyChallenge();
    bool AddHeaders();
    bool bSecure = false;   // the attempt running now
    // One header as text (level and name as WinHttpQueryHeaders takes them).
    bool QueryText(unsigned long level, const wchar_t* name, std::string& value, bool logMissing);
};
