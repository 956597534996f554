#include "app/InstallSteps.h"

#include <shlobj.h>

#include <cstdio>

#include "config/DeploymentSettings.h"
#include "logging/Log.h"
#include "system/PayloadVerifier.h"
#include "system/Process.h"
#include "system/SystemInfo.h"

bool CheckFolderPath(const std::wstring& path, bool& exists)
{
    exists = false;
    size_t n = path.size();
    if (n > 0 && path[n - 1] == L'\\')
        --n;
    HANDLE heap = GetProcessHeap();
    auto* copy = static_cast<wchar_t*>(HeapAlloc(heap, 0, (n + 3) * sizeof(wchar_t)));
    if (copy == nullptr)
        return false;
    path.copy(copy, n);
    copy[n] = L'\\';
    copy[n + 1] = L'.';
    copy[n + 2] = L'\0';
    const DWORD attributes = GetFileAttributesW(copy);
    const DWORD error = GetLastError();
    HeapFree(heap, 0, copy);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        exists = true;
        return true;
    }
    return error != ERROR_PATH_NOT_FOUND;
}

PayloadResult CheckInstallerSignature(const std::wstring& path)
{
    const PayloadVerdict verdict = VerifyPayload(
        path, PayloadPolicy{kPayloadPublisher, kPayloadRootSha256, kPayloadPublisherO, kPayloadPublisherC,
                            kPayloadMinVersion});
    if (verdict.Accepted()) {
        LOG_INFO_W(L"VerifyInstaller: accepted, signed by %ls", verdict.strSigner.c_str());
        return kPayload_Accepted;
    }
    const bool unreadable = verdict.eResult == kPayload_Unreadable;
    LOG_INFO("VerifyInstaller: %s: %s (error 0x%08lX)", unreadable ? "not checked" : "refused",
             PayloadResultText(verdict.eResult), static_cast<unsigned long>(verdict.nError));
    return verdict.eResult;
}

void PrepareProductFolder(const std::wstring& folder, const std::wstring& customTag)
{
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (GetFileAttributesW(folder.c_str()) != FILE_ATTRIBUTE_DIRECTORY)
        CreateDirectoryW(folder.c_str(), nullptr);
    const std::string tag = WideToAnsi(customTag);
    if (tag.empty())
        return;
    FILE* file = _wfopen((folder + L"domain").c_str(), L"wb");
    if (file == nullptr)
        return;
    fwrite(tag.data(), 1, tag.size(), file);
    fclose(file);
}

bool InstallerSucceeded(bool ran, DWORD exitCode, const std::wstring& productPath)
{
    const bool installed = FileExists(productPath);
    if (ran && exitCode == 0 && installed)
        return true;
    LOG_INFO_W(L"StartInstallExe: the installation failed (%ls, exit code %lu, product %ls)",
               ran ? L"ran" : L"not started", static_cast<unsigned long>(exitCode),
               installed ? L"present" : L"missing");
    return false;
}

void EndSilentInstallation(const ProcessStamp& installer)
{
    if (EndDescendantsNamed(L"corvane-download.tmp", installer) > 0)
        LOG_INFO("KillSilentInstallProcess");
}

bool DeleteFileWaiting(const std::wstring& path, DWORD waitMs)
{
    // An installer that is still running (its silent copy was just ended)
    // holds its file for a moment longer.
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        if (DeleteFileW(path.c_str()))
            return true;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return true;
        if (GetTickCount64() >= deadline) {
            LOG_INFO("DeleteDownloadedFile: the downloaded installer stays, error %lu", static_cast<unsigned long>(error));
            return false;
        }
        Sleep(100);
    }
}
