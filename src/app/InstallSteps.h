// Steps of an installation that the window's install flow and the silent
// run share: the install folder check, the signature check of the
// downloaded installer, the product folder with its custom tag file, the
// verdict on the installer's run, and the removal of the download. Each
// step logs what it found; none shows anything. Any thread may call them.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "system/PayloadVerifier.h"
#include "system/Process.h"

// Whether the folder can be used as install root: an existing folder, or a
// missing last folder under an existing parent.
bool CheckFolderPath(const std::wstring& path, bool& exists);

// The signature check of the downloaded installer with this build's
// publisher (its organisation and country when set), pin and lowest
// version; the verdict is logged. The file is left as it is. A file that
// cannot be read (kPayload_Unreadable) is not a refused signature: the
// callers report it as an installation that did not complete.
PayloadResult CheckInstallerSignature(const std::wstring& path);

// Creates the product folder with its parents and writes the custom tag
// (narrowed to the ANSI code page) into its "domain" file; an empty tag
// writes no file. Failures are not reported: the installer runs regardless.
void PrepareProductFolder(const std::wstring& folder, const std::wstring& customTag);

// Whether the installer's run installed the product: it ran, exited with 0
// and the product's executable exists. A failure is logged with all three.
bool InstallerSucceeded(bool ran, DWORD exitCode, const std::wstring& productPath);

// Ends a still-running silent installation ("corvane-download.tmp") when it
// descends from the installer this program started; a process of that name
// started by anything else is left running. Nothing when none was started.
void EndSilentInstallation(const ProcessStamp& installer);

// Deletes the file, retrying for up to waitMs while it is still in use; true
// when it is gone (or was never there).
bool DeleteFileWaiting(const std::wstring& path, DWORD waitMs);
#endif
