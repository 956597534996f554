#include "system/Process.h"

const wchar_t kSilentInstallerSwitches[] = L" /verysilent /corvane_down /wait_run /path=\"";

bool BuildSilentInstallerCommandLine(const std::wstring& installFolder, std::wstring& commandLine)
{
    if (installFolder.size() > kInstallFolderMax || installFolder.find(L'"') != std::wstring::npos)
        return false;
    std::wstring line = kSilentInstallerSwitches;
    line += installFolder;
    // 2n backslashes before a quote read as n and the quote still closes.
    for (size_t i = installFolder.size(); i > 0 && installFolder[i - 1] == L'\\'; --i)
        line += L'\\';
    line += L'"';
    if (line.size() + 1 > kInstallerCommandLineBuffer)
        return false;
    commandLine = line;
    return true;
}
