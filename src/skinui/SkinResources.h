// The resources that controls share: images, fonts, default attribute lists,
// multi-language strings and the default colours. Every table exists twice:
// once per window host and once shared by the whole process; look-ups try the
// host's own table first and the shared one second. Adding under an existing
// key destroys the old record (and its GDI object) first.
//
// CSkinResources is the per-host half; the window host (CWindowHostUI) derives
// from it, so a host *is* its resource tables and the skin source (inherited
// from CSkinSource). Records are owned by their table; pointers handed out stay
// valid until the entry is replaced or removed. The shared tables live until
// ReleaseSharedResources. UI thread only.
//
// Display scale: a host's resources are made for its DPI. Fonts keep their
// skin size (96-DPI pixels) and are created at size * dpi / 96; an image
// loaded by name at more than 96 DPI comes from its "@2x" twin (the name
// with "@2x" before the extension) when there is one and is resampled to
// the scale, else the plain image is; at 96 DPI it is the plain image as it
// is. SetDpi makes the host's own fonts and loaded images again at a new
// scale. The shared tables keep the scale of the host that filled them.
//
// Classes in this file: TImageInfo, TFontInfo, CSkinResources.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "skinui/SkinSource.h"

namespace SkinUI {

// One decoded image: a top-down 32-bit DIB section, pixels blue, green, red,
// alpha, premultiplied by alpha. Owns the bitmap.
struct TImageInfo {
    HBITMAP hBitmap = nullptr;
    BYTE* pBits = nullptr;             // the DIB section's pixels
    std::vector<BYTE> sourceBits;      // private copy, only for HSL images
    int nWidth = 0;
    int nHeight = 0;
    bool bAlpha = false;               // some pixel not opaque, or masked
    bool bUseHSL = false;
    std::wstring strResType;           // "" for files
    DWORD dwMask = 0;
    int nDpi = 0;                      // the scale it was loaded for; 0 when made elsewhere

    TImageInfo() = default;
    ~TImageInfo();
    TImageInfo(const TImageInfo&) = delete;
    TImageInfo& operator=(const TImageInfo&) = delete;
};

// One font. Owns the font handle.
struct TFontInfo {
    HFONT hFont = nullptr;
    std::wstring strFaceName;          // as given (the font uses 32 chars max)
    int nSize = 0;                     // 96-DPI pixels; created with height -size * dpi / 96
    int nDpi = 0;                      // the scale it was created for
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
    TEXTMETRICW tm = {};
    bool bMetricsValid = false;        // tm is filled on first use

    TFontInfo() = default;
    ~TFontInfo();
    TFontInfo(const TFontInfo&) = delete;
    TFontInfo& operator=(const TFontInfo&) = delete;
};

class CSkinResources : public CSkinSource {
public:
    CSkinResources();
    virtual ~CSkinResources();
    CSkinResources(const CSkinResources&) = delete;
    CSkinResources& operator=(const CSkinResources&) = delete;

    // The host's paint device context: font metrics are taken through it.
    // Not owned. Without one a screen-compatible context is used.
    void SetPaintDC(HDC dc);
    HDC GetPaintDC() const;

    // While set, every add through this host goes to the shared tables.
    void SetSharedResourcesMode(bool shared);
    bool IsSharedResourcesMode() const;

    // The display scale of this host's fonts and images (96 at first). A
    // new value makes the own fonts again at it (under the same ids; their
    // handles change) and loads the own images that were loaded by name
    // again; other images stay as they are.
    int GetDpi() const { return nDpi; }
    void SetDpi(int dpi);

    // Mouse position in client coordinates, kept current by the host; the
    // markup text uses it for the link-hover colour. (-1, -1) when unknown.
    void SetMousePos(POINT pt);
    POINT GetMousePos() const;

    // Drops the host's own tables (images, fonts, default attribute lists)
    // and its own default font; the shared tables stay.
    void RemoveAllOwnResources();

    // ---- Images ------------------------------------------------------
    // Loads and stores an image (see LoadImageRecord). With a type and a name
    // that begins with a digit, the name is a decimal resource id.
    const TImageInfo* AddImageEntry(const std::wstring& name, const std::wstring& type = L"",
                                    DWORD mask = 0, bool useHSL = false, bool shared = false);
    // Stores an image made elsewhere (takes ownership).
    const TImageInfo* AddImageEntry(const std::wstring& name, std::unique_ptr<TImageInfo> image,
                                    bool shared = false);
    const TImageInfo* FindImage(const std::wstring& name) const;
    // FindImage, else AddImageEntry into the host's own table. Drawing uses
    // this, so images load on first paint and stay cached.
    const TImageInfo* FindOrLoadImage(const std::wstring& name, const std::wstring& type = L"",
                                      DWORD mask = 0, bool useHSL = false);
    void RemoveImage(const std::wstring& name, bool shared = false);
    // FindOrLoadImage for the images inline in markup text, which have no
    // draw record to remember a failure: a name that failed to load once is
    // not tried again by this host (until RemoveAllOwnResources).
    const TImageInfo* FindOrLoadInlineImage(const std::wstring& name, const std::wstring& type = L"",
                                            DWORD mask = 0, bool useHSL = false);

    // Loads one image for a display of `dpi`: type "*COLOR*" makes a 1x1
    // image of the colour named by the text; another type reads that
    // resource from the resource module; no type reads the skin file; either
    // falls back to the name as a plain file path. Decoded with stb_image;
    // above 96 DPI the "@2x" twin is tried first, and the pixels are
    // resampled to the scale. nullptr on failure.
    static std::unique_ptr<TImageInfo> LoadImageRecord(const std::wstring& name, const std::wstring& type,
                                                       DWORD mask, int dpi = 96);
    // Decodes image bytes (PNG, JPEG, BMP, ...) into a record.
    static std::unique_ptr<TImageInfo> DecodeImage(const void* data, size_t size, DWORD mask);

    // ---- Fonts -------------------------------------------------------
    // Creates a font from the stock DEFAULT_GUI_FONT with this face (first 32
    // characters), height -size at 96 DPI (scaled to the host's DPI), bold
    // (stock weight + 700), underline, italic, DEFAULT_CHARSET, and stores
    // it under the decimal id. nullptr on failure
    // (nothing stored).
    HFONT AddFontEntry(int id, const std::wstring& face, int size, bool bold, bool underline,
                       bool italic, bool shared = false);
    // Replaces the shared default font, or the host's own default.
    HFONT SetBaseFont(const std::wstring& face, int size, bool bold, bool underline, bool italic,
                      bool shared = false);
    // Own table, shared table, then the default font.
    HFONT GetFont(int id) const;
    // First font of the own, then the shared table matching all five; nullptr.
    HFONT GetFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) const;
    // The font's id in the own or shared table; -1 when absent.
    int GetFontId(HFONT font) const;
    // The record with its text metrics filled; the default font's record
    // when nothing matches.
    const TFontInfo* FontDetails(int id);
    const TFontInfo* FontDetails(HFONT font);
    // The host's default font (own when the skin set one, else shared).
    const TFontInfo* GetDefaultFontInfo();
    // A new id for a font variant that markup text creates; process-wide.
    static int NextVariantFontId();

    // ---- Default attribute lists ------------------------------------
    void SetClassDefaults(const std::wstring& elementName, const std::wstring& attributes,
                          bool shared = false);
    // Own table, then shared; "" when absent.
    std::wstring GetClassDefaults(const std::wstring& elementName) const;
    void RemoveAllClassDefaults();

    // ---- Multi-language strings (shared only) -----------------------
    static void AddLangString(int id, const std::wstring& text);
    static std::wstring GetLangString(int id);      // "" when absent
    static void RemoveAllLangStrings();
    // Replaces every "%{digits}" whose id has a string by that string.
    static std::wstring ExpandLangTokens(const std::wstring& text);

    // ---- Default colours (0xAARRGGBB) -------------------------------
    // Each host starts with a copy of the shared colours; the setters change
    // the host's colour, and with shared also the process-wide default.
    DWORD GetDefaultDisabledColor() const { return dwDisabledColor; }
    DWORD GetDefaultFontColor() const { return dwFontColor; }
    // Links take the system's hot-light colour while system colours are in use.
    DWORD GetDefaultLinkFontColor() const { return bSystemColors ? SystemColor(COLOR_HOTLIGHT) : dwLinkColor; }
    DWORD GetDefaultLinkHoverFontColor() const
    {
        return bSystemColors ? SystemColor(COLOR_HOTLIGHT) : dwLinkHoverColor;
    }
    DWORD GetDefaultSelectedBkColor() const { return dwSelectedBkColor; }
    void SetDefaultDisabledColor(DWORD color, bool shared = false);
    void SetDefaultFontColor(DWORD color, bool shared = false);
    void SetDefaultLinkFontColor(DWORD color, bool shared = false);
    void SetDefaultLinkHoverFontColor(DWORD color, bool shared = false);
    void SetDefaultSelectedBkColor(DWORD color, bool shared = false);

    // ---- System colours (high-contrast mode) -------------------------
    // While on, everything is drawn in the system's colours: the skin's
    // colours, colour tags of markup text and images behind text are left
    // out (CControlUI::PaintSystemColors decides per control).
    bool UsesSystemColors() const { return bSystemColors; }
    void UseSystemColors(bool on) { bSystemColors = on; }
    // GetSysColor(index) as an opaque 0xAARRGGBB colour.
    static DWORD SystemColor(int index)
    {
        const COLORREF c = GetSysColor(index);
        return 0xFF000000 | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
               GetBValue(c);
    }

    // ---- Process-wide ----------------------------------------------
    // Frees every shared table and the shared default font.
    static void ReleaseSharedResources();
    // The colour adjustment of HSL images. Nothing in this system turns it
    // on; the flag is kept so images can carry their source pixels.
    static bool IsHSLAdjustmentActive();
    // Counts destroyed image records, so a draw record that keeps a resolved
    // image can tell that the pointer may have gone stale.
    static unsigned ImageGeneration();

private:
    using ImageTable = std::unordered_map<std::wstring, std::unique_ptr<TImageInfo>>;
    using FontTable = std::map<int, std::unique_ptr<TFontInfo>>;
    using TextTable = std::unordered_map<std::wstring, std::wstring>;

    static std::unique_ptr<TFontInfo> CreateFontRecord(const std::wstring& face, int size, bool bold,
                                                       bool underline, bool italic, int dpi);
    void FillMetrics(TFontInfo& info) const;
    bool AddToShared(bool shared) const { return shared || bSharedMode; }

    HDC hPaintDC = nullptr;
    int nDpi = 96;
    bool bSharedMode = false;
    POINT ptMouse = {-1, -1};

    ImageTable ownImages;
    FontTable ownFonts;
    TextTable ownClassDefaults;
    std::unordered_set<std::wstring> failedInlineImages;
    std::unique_ptr<TFontInfo> ownDefaultFont;

    DWORD dwDisabledColor;
    DWORD dwFontColor;
    DWORD dwLinkColor;
    DWORD dwLinkHoverColor;
    DWORD dwSelectedBkColor;
    bool bSystemColors = false;
};

} // namespace SkinUI

#endif // _WIN32
