#include "app/CommandLine.h"

namespace {

// The blanks that separate arguments, as the system's split has them.
const wchar_t kBlanks[] = L" \t";

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

wchar_t AsciiUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Whether text begins with a switch character followed by key (any case).
bool StartsWithSwitch(const std::wstring& text, size_t at, const wchar_t* key)
{
    if (at >= text.size() || (text[at] != L'/' && text[at] != L'-'))
        return false;
    size_t i = at + 1;
    for (const wchar_t* k = key; *k; ++k, ++i) {
        if (i >= text.size() || AsciiUpper(text[i]) != *k)
            return false;
    }
    return true;
}

// Without surrounding blanks and one enclosing pair of quotes.
std::wstring Trimmed(const std::wstring& text)
{
    const size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::wstring::npos)
        return std::wstring();
    std::wstring value = text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return value;
}

// The end of the program name in the raw line: a quoted name ends at its
// closing quote, and either kind runs on to the next blank.
size_t SkipProgramName(const std::wstring& raw)
{
    size_t i = 0;
    if (!raw.empty() && raw[0] == L'"') {
        const size_t close = raw.find(L'"', 1);
        i = close == std::wstring::npos ? raw.size() : close + 1;
    }
    while (i < raw.size() && !IsBlank(raw[i]))
        ++i;
    return i;
}

// Position of the "/D=" that starts an argument outside quotes; npos if none.
size_t FindInstallDirSwitch(const std::wstring& raw)
{
    bool quoted = false;
    for (size_t i = SkipProgramName(raw); i < raw.size(); ++i) {
        if (raw[i] == L'"')
            quoted = !quoted;
        else if (!quoted && i > 0 && IsBlank(raw[i - 1]) && StartsWithSwitch(raw, i, L"D="))
            return i;
    }
    return std::wstring::npos;
}

// A decimal language code of one to five digits, 1 to 65535.
bool IsLanguageCode(const std::wstring& value)
{
    if (value.empty() || value.size() > 5)
        return false;
    long code = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9')
            return false;
        code = code * 10 + (c - L'0');
    }
    return code >= 1 && code <= 65535;
}

// Reads one switch into options; false when it is unknown or malformed.
bool ReadSwitch(const std::wstring& arg, CommandLineOptions& options)
{
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-'))
        return false;
    const size_t equals = arg.find(L'=');
    std::wstring key;
    for (size_t i = 1; i < arg.size() && i < equals; ++i)
        key += AsciiUpper(arg[i]);
    if (equals == std::wstring::npos) {
        if (key == L"S")
            options.bSilent = true;
        else if (key == L"?" || key == L"HELP")
            options.bHelp = true;
        else if (key == L"NOANALYTICS")
            options.bNoAnalytics = true;
        else
            return false;
        return true;
    }
    const std::wstring value = arg.substr(equals + 1);
    if (key == L"LANG" && IsLanguageCode(value))
        options.strLanguage = value;
    else if (key == L"LOG" && !value.empty())
        options.strLogFile = value;
    else
        return false;
    return true;
}

} // namespace

const char* ExitCodeText(int code)
{
    switch (code) {
    case kExit_Success: return "success";
    case kExit_AnotherInstance: return "another instance runs";
    case kExit_BadCommandLine: return "bad command line";
    case kExit_FolderInvalid: return "folder invalid";
    case kExit_NotEnoughSpace: return "not enough space";
    case kExit_DownloadFailed: return "download failed";
    case kExit_VerifyFailed: return "verification failed";
    case kExit_InstallerFailed: return "installer failed";
    case kExit_ProductRunning: return "product running";
    default: return "unknown";
    }
}

CommandLineOptions ParseCommandLine(const std::wstring& rawLine, const std::vector<std::wstring>& argv)
{
    CommandLineOptions options;
    const size_t rawSwitch = FindInstallDirSwitch(rawLine);
    size_t switches = argv.empty() ? 0 : 1;
    while (switches < argv.size() && !StartsWithSwitch(argv[switches], 0, L"D="))
        ++switches;
    options.bHasArguments = argv.size() > 1 || rawSwitch != std::wstring::npos;

    for (size_t i = 1; i < switches; ++i) {
        if (!ReadSwitch(argv[i], options)) {
            options.bValid = false;
            options.strRefused = argv[i];
            return options;
        }
    }
    const bool inArgv = switches < argv.size();
    if (rawSwitch == std::wstring::npos && !inArgv)
        return options;
    if (rawSwitch != std::wstring::npos && inArgv)
        options.strInstallDir = Trimmed(rawLine.substr(rawSwitch + 3));
    else if (inArgv && switches + 1 == argv.size())
        options.strInstallDir = Trimmed(argv[switches].substr(3));   // "/D=..." quoted whole
    // Otherwise the raw text and the split disagree on where "/D=" begins
    // (quotes inside a value), or a quoted "/D=" is not last: refused.
    if (options.strInstallDir.empty()) {
        options.bValid = false;
        options.strRefused = rawSwitch != std::wstring::npos ? Trimmed(rawLine.substr(rawSwitch)) : argv[switches];
    }
    return options;
}
