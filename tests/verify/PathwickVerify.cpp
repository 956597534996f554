// Command-line harness around the installer's signature check.
//   pathwick-verify.exe FILE [--publisher NAME] [--root-sha256 HEX]
//                            [--organization O] [--country C] [--min-version V]
// Runs exactly the check the installer runs before it starts a downloaded
// installer, with this build's settings unless given here (an empty value
// turns the organisation, country, pin or lowest version off).
// Prints "accepted" or "refused: <reason>" on standard output (the code
// behind a refusal and the signer on standard error) and exits with 0 when
// accepted, 1 when refused, 2 on a bad command line.
#include "config/DeploymentSettings.h"
#include "system/PayloadVerifier.h"

#include <cstdio>
#include <string>

namespace {

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "%s\nusage: pathwick-verify.exe FILE [--publisher NAME] [--root-sha256 HEX] [--organization O]"
                 " [--country C] [--min-version V]\n",
                 problem);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring file;
    PayloadPolicy policy{kPayloadPublisher, kPayloadRootSha256, kPayloadPublisherO, kPayloadPublisherC,
                         kPayloadMinVersion};
    const struct {
        const wchar_t* name;
        std::wstring* value;
    } options[] = {{L"--publisher", &policy.strPublisher},       {L"--root-sha256", &policy.strRootSha256},
                   {L"--organization", &policy.strOrganization}, {L"--country", &policy.strCountry},
                   {L"--min-version", &policy.strMinVersion}};
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring* value = nullptr;
        for (const auto& option : options)
            if (arg == option.name)
                value = option.value;
        if (value != nullptr) {
            if (i + 1 >= argc)
                return Usage("an option lacks its value");
            *value = argv[++i];
        } else if (file.empty() && !arg.empty() && arg.rfind(L"--", 0) != 0) {
            file = arg;
        } else {
            return Usage("unexpected argument");
        }
    }
    if (file.empty())
        return Usage("no file given");
    if (policy.strPublisher.empty())
        return Usage("the publisher must not be empty");
    Sha256Digest pin{};
    if (!policy.strRootSha256.empty() && !ParseSha256Hex(policy.strRootSha256, pin))
        return Usage("--root-sha256 takes 64 hexadecimal digits");
    uint64_t lowest = 0;
    if (!policy.strMinVersion.empty() && !ParseFileVersion(policy.strMinVersion, lowest))
        return Usage("--min-version takes a version a[.b[.c[.d]]]");

    const PayloadVerdict verdict = VerifyPayload(file, policy);
    if (verdict.Accepted()) {
        std::printf("accepted\n");
    } else {
        std::printf("refused: %s\n", PayloadResultText(verdict.eResult));
        std::fprintf(stderr, "code 0x%08lX\n", static_cast<unsigned long>(verdict.nError));
    }
    if (!verdict.strSigner.empty())
        std::fprintf(stderr, "signer: %ls\n", verdict.strSigner.c_str());
    return verdict.Accepted() ? 0 : 1;
}
