// Rules of the install flow that need no window: page state names, the close
// decision, the install root taken from the folder field, the disk-space
// check and its message, the analytics event URLs, the progress mapping and
// the banner counter. The main window applies them; the unit tests check them
// in both builds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// The controls whose caption is one text of the language package, with the
// text's key; the main window and the proxy sign-in dialog fill those their
// layout has when they open. (The tip under the
// install folder shows STR_PATH_INVALID only when a folder is refused.)
struct SkinText {
    const wchar_t* control;
    const wchar_t* key;
};
extern const SkinText kSkinTexts[];
extern const size_t kSkinTextCount;

// How much taller the window grows when the install-folder area opens, in
// the skin's 96-DPI pixels (the height of bottomLayout).
constexpr int kFoldHeight = 75;

// Page states, numbering fixed.
enum WindowState {
    kWindow_None = -1,
    kWindow_Init = 0,
    kWindow_Downloading = 1,
    kWindow_Installing = 2,
    kWindow_Finish = 3,
};

// "kWindow_Init" ... "kWindow_Finish"; "" for anything else.
const char* WindowStateName(int state);

// wParam of a posted WM_CLOSE that closes at once, without a question.
constexpr unsigned kCloseNow = 1000;

enum CloseAction {
    kClose_Immediate = 0,     // code 1000: end the silent installer, delete the download, close
    kClose_AfterFinish = 1,   // finish page: delete the download, close
    kClose_Ask = 2,           // ask the user first
    kClose_Ignore = 3,        // no page switch, or a question already open: stay
};
CloseAction DecideClose(uintptr_t wParam, bool startVisible, bool hasSwitch, bool closeAsked);

// The folder text (the field, or /D) with "\" for every "/" and a trailing
// "\"; "" for an empty text, which names no folder (it is never taken for the
// root "\").
std::wstring InstallRootFromField(const std::wstring& field);

// The one check of an install root's form, for the window and /S alike.
// nullptr when the root is usable as far as its text tells (whether its
// parent exists is asked of the system afterwards); otherwise why it is
// refused, for the log. Refused: an empty root; more than 210 characters;
// anything but "X:\..." from the top of a drive (relative paths, "X:name",
// UNC paths, the "\\?\" and "\\.\" forms); double quotes, control
// characters and the other characters no file name may hold (< > | ? * and
// a ":" after the drive's); an empty component (two separators in a row);
// a component ending in a dot or a blank ("." and ".." included); a
// reserved device name as a component, with or without an extension (CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9: "NUL.txt" too). The root is expected
// as InstallRootFromField makes it.
const char* InstallRootProblem(const std::wstring& root);

// False when the root cannot be passed to the installer: it must fit the
// installer's command line (at most 210 characters).
bool InstallRootFitsCommandLine(const std::wstring& root);

// Whether the root names a folder from the top of a drive ("X:\..."), the
// only form the silent run installs to.
bool IsAbsoluteInstallRoot(const std::wstring& root);

// The leading part of the root up to and including its first ":"; "" when
// there is none.
std::wstring DriveOfRoot(const std::wstring& root);

// Size check: the install drive needs three times the installer's size.
int32_t FileSizeToMB(int32_t bytes);
bool HasEnoughSpace(uint32_t freeMB, int32_t fileMB);
// "<storage text> <3 x fileMB> <unit>", the unit "MB" when empty.
std::wstring FormatStorageText(const std::wstring& storage, int32_t fileMB, const std::wstring& unit);
// The disk-failure message: {drive} becomes the drive ("C:"), {size} the
// space the installation needs, three times the installer's bytes in MB
// rounded up, and the unit (MB when empty).
std::wstring FormatDiskFailedText(const std::wstring& text, const std::wstring& drive, int64_t fileBytes,
                                  const std::wstring& unit);

// One analytics event hit: https://<host>/collect?v=1&t=event&tid=<tid>
// &cid=<cid>&ec=<title> (Windows version)&ea=<action>&el=<cid>, nothing
// percent-encoded.
std::wstring BuildAnalyticsUrl(const std::wstring& host, const std::wstring& propertyId,
                               const std::wstring& clientId, const std::wstring& title,
                               const std::wstring& action);

// The progress mapping: the count never moves back (a smaller report shows
// the previous count plus 10 bytes), never passes the total, and becomes a
// percentage of 0 to 90. Returns -1, with the last count untouched, when the
// total is not positive: such a report carries no percentage.
int MapDownloadProgress(int32_t value, int32_t total, std::atomic<int32_t>& lastProgress);

// The bar's value for a percentage: mirrored (100 - percent) in the
// right-to-left skin.
int ProgressBarValue(int percent, bool rtl);
// "%d %%" of the percentage.
std::wstring ProgressLabelText(int percent);

// The banner counter after one timer tick: the next number after a shown
// image, back to 1 after a missing one.
int NextBannerIndex(int index, bool shown);
// "<data folder>language\<language>\pr_<n>.png"
std::wstring BannerImagePath(const std::wstring& dataDir, const std::wstring& language, int index);
// "STR_BANNER_<n>": the text key of the headline drawn over image n.
std::wstring BannerTextKey(int index);
// Whether a package entry is a banner image ("<language>/pr_<n>.png"): the
// banners are extracted after the window's first frame, the rest before it.
bool IsBannerEntry(const std::wstring& entryName);
