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

private:
    void CloseHandles();
    // Puts the run's proxy credentials on the request handle: they must be
    // there before the send (after a 407 a repeat on the same handle fails).
    void OfferProxyCredentials();
    // After a 407: a fresh request handle with newer credentials; false when
    // there are none to offer and the 407 is the answer.
    bool AnswerProxyChallenge();
    bool bSecure = true;
    // One header as text (a query level of HttpQueryInfo; name for a custom one).
    bool QueryText(unsigned long level, const char* name, std::string& value, bool logMissing);
};
