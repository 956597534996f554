#include "app/StartUp.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "config/ResourcePackage.h"
#include "config/TextUtil.h"
#include "logging/Log.h"
#include "logging/PathUtil.h"
#include "system/SystemInfo.h"

namespace {

const wchar_t kLogFileName[] = L"corvane_down.log";

// Box flags added in a right-to-left language: RTL reading, right
// alignment, foreground.
constexpr UINT kRtlBoxFlags = MB_RTLREADING | MB_RIGHT | MB_SETFOREGROUND;

// The /LOG= value as a folder and a file name, once the file can be opened
// for appending; false when it cannot.
bool UsableLogFile(const std::wstring& value, std::wstring& folder, std::wstring& name)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(value.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const std::wstring path = full;
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return false;
    folder = path.substr(0, slash);
    name = path.substr(slash + 1);
    if (name.empty())
        name = kLogFileName;
    CreateDirectoryChain(folder);
    FILE* file = _wfopen((folder + L"\\" + name).c_str(), L"ab");
    if (file == nullptr)
        return false;
    fclose(file);
    return true;
}

} // namespace

CommandLineOptions ReadProcessCommandLine()
{
    const wchar_t* raw = GetCommandLineW();
    std::vector<std::wstring> argv;
    int count = 0;
    if (LPWSTR* split = CommandLineToArgvW(raw, &count)) {
        argv.assign(split, split + count);
        LocalFree(split);
    }
    return ParseCommandLine(raw, argv);
}

void InitRunLog(const CommandLineOptions& options)
{
    std::wstring folder;
    std::wstring name;
    const bool custom = !options.strLogFile.empty() && UsableLogFile(options.strLogFile, folder, name);
    if (custom)
        LogInit(name.c_str(), folder.c_str());
    else
        LogInit(kLogFileName, (GetDataFolder() + L"Log").c_str());
    if (!options.strLogFile.empty() && !custom)
        LOG_INFO_W(L"the log file %ls cannot be written; this log is used instead", options.strLogFile.c_str());
    if (options.bHasArguments)
        LOG_INFO_W(L"command line: %ls", GetCommandLineW());
}

LanguageSystemFacts LanguageFactsFor(const CommandLineOptions& options)
{
    LanguageSystemFacts facts = LanguageSystemFacts::FromSystem();
    if (!options.strLanguage.empty()) {
        const std::wstring code = options.strLanguage;
        facts.uiLanguageCode = [code] { return code; };
    }
    return facts;
}

std::wstring PrepareRunData(LanguageManager& languages)
{
    const std::wstring dataDir = GetDataFolder();
    LoadResZipFile(dataDir + L"language\\");
    languages.Init(dataDir + L"language\\");
    LoadDomainFile(languages);
    return dataDir;
}

int ShowUsage(const CommandLineOptions& options)
{
    if (!options.bValid)
        LOG_INFO_W(L"command line refused at: %ls", options.strRefused.c_str());
    const int code = options.bValid && !options.bSilent ? kExit_Success : kExit_BadCommandLine;
    if (options.bSilent) {
        LOG_INFO("silent: the usage box is not shown");
        LOG_INFO("silent: exit code %d (%s)", code, ExitCodeText(code));
        return code;
    }
    LanguageManager languages(LanguageFactsFor(options));
    PrepareRunData(languages);
    // The text keeps its line breaks as "\n" in the package.
    const std::wstring text = ReplaceAll(languages.GetText(L"STR_USAGE"), L"\\n", L"\n");
    UINT type = MB_OK | (options.bValid ? MB_ICONINFORMATION : MB_ICONWARNING);
    if (languages.IsRtl())
        type |= kRtlBoxFlags;
    MessageBoxW(nullptr, text.c_str(), languages.GetText(L"STR_MESSAGEBOX_TITLE").c_str(), type);
    LOG_INFO("usage shown; exit code %d (%s)", code, ExitCodeText(code));
    return code;
}
