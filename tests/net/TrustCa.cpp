// Adds a PEM certificate to the current user's "Root" store, so that the
// WinHTTP and WinINet of this Wine prefix trust the local test server. Run
// once per prefix by the test set-up; adding it again is harmless.
//   pw_trust_ca.exe CA.pem
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pw_trust_ca CA.pem\n");
        return 2;
    }
    std::string pem;
    if (FILE* in = _wfopen(argv[1], L"rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), in)) > 0)
            pem.append(buffer, n);
        std::fclose(in);
    }
    if (pem.empty()) {
        std::fprintf(stderr, "pw_trust_ca: cannot read %ls\n", argv[1]);
        return 1;
    }
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        std::fprintf(stderr, "pw_trust_ca: CryptStringToBinaryA fail %lu\n", GetLastError());
        return 1;
    }
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
        std::fprintf(stderr, "pw_trust_ca: CryptStringToBinaryA fail %lu\n", GetLastError());
        return 1;
    }
    if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), size)) {
        std::fprintf(stderr, "pw_trust_ca: CertAddEncodedCertificateToSystemStoreW fail 0x%lx\n", GetLastError());
        return 1;
    }
    std::printf("pw_trust_ca: %ls is trusted in this prefix\n", argv[1]);
    return 0;
}
