#include "system/Process.h"

const wchar_t kSilentInstallerSwitches[] = L" /verysilent /corvane_down /wait_run /path=\"";

bool BuildSilentInstallerCommandLine(const std::wstring& installFolder, std::wstring& commandLine)
{
    if (installFolder.size() > kInstallFolderMax)
        return false;
    std::wstring line = kSilentInstallerSwitches;
    line += installFolder;
    line += L'"';
    if (line.size() + 1 > kInstallerCommandLineBuffer)
        return false;
    commandLine = line;
    return true;
}
