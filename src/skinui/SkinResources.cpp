#ifdef _WIN32
#include "skinui/SkinResources.h"

#include "skinui/Dib32.h"
#include "skinui/ImageDecode.h"
#include "skinui/SkinValues.h"

#include "config/ResourcePackage.h"
#include "logging/Log.h"
#include "logging/TextFormat.h"
#include "system/WinHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace SkinUI {

namespace {

// Images read from the skin or as plain files may be larger than a layout.
constexpr uint64_t kMaxImageFileSize = 64ull << 20;
constexpr size_t kMaxFaceChars = 32;

struct SharedTables {
    std::unordered_map<std::wstring, std::unique_ptr<TImageInfo>> images;
    std::map<int, std::unique_ptr<TFontInfo>> fonts;
    std::unordered_map<std::wstring, std::wstring> classDefaults;
    std::unordered_map<std::wstring, std::wstring> langStrings;
    std::unique_ptr<TFontInfo> defaultFont;
    DWORD dwDisabledColor = 0xFFA7A6AA;
    DWORD dwFontColor = 0xFF000000;
    DWORD dwLinkColor = 0xFF0000FF;
    DWORD dwLinkHoverColor = 0xFFD3215F;
    DWORD dwSelectedBkColor = 0xFFBAE4FF;
    int nNextVariantFont = 10000;
};

SharedTables& Shared()
{
    static SharedTables tables;
    return tables;
}

bool ReadPlainFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxImageFileSize)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        bytes.clear();
        return false;
    }
    return true;
}

// The DPI of the screen: the scale of the stock fonts.
int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

bool ReadResource(const std::wstring& name, const std::wstring& type, std::string& bytes)
{
    bytes.clear();
    HMODULE module = CSkinSource::GetResourceModule();
    LPCWSTR resName = name.c_str();
    if (!name.empty() && name[0] >= L'0' && name[0] <= L'9')
        resName = MAKEINTRESOURCEW(static_cast<WORD>(std::wcstoul(name.c_str(), nullptr, 10)));
    if (!LoadResourceBytes(module, resName, type.c_str(), bytes) || bytes.empty()) {
        bytes.clear();
        return false;
    }
    return true;
}

} // namespace

namespace {
unsigned g_imageGeneration = 0;
}

TImageInfo::~TImageInfo()
{
    ++g_imageGeneration;
    if (hBitmap != nullptr)
        DeleteObject(hBitmap);
}

TFontInfo::~TFontInfo()
{
    if (hFont != nullptr)
        DeleteObject(hFont);
}

CSkinResources::CSkinResources()
{
    const SharedTables& s = Shared();
    dwDisabledColor = s.dwDisabledColor;
    dwFontColor = s.dwFontColor;
    dwLinkColor = s.dwLinkColor;
    dwLinkHoverColor = s.dwLinkHoverColor;
    dwSelectedBkColor = s.dwSelectedBkColor;
    // The first host creates the shared default font from the stock GUI font,
    // which is made for the screen's DPI: its size is kept in 96-DPI pixels
    // like every other font's.
    if (!Shared().defaultFont) {
        LOGFONTW lf = {};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
        const int screenDpi = SystemDpi();
        const int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        const int size = static_cast<int>((static_cast<long long>(height) * kBaseDpi + screenDpi / 2) / screenDpi);
        Shared().defaultFont = CreateFontRecord(lf.lfFaceName, size, lf.lfWeight >= FW_BOLD,
                                                lf.lfUnderline != 0, lf.lfItalic != 0, screenDpi);
    }
}

CSkinResources::~CSkinResources() = default;

void CSkinResources::SetDpi(int dpi)
{
    if (dpi <= 0)
        dpi = kBaseDpi;
    if (dpi == nDpi)
        return;
    nDpi = dpi;
    auto remake = [this](std::unique_ptr<TFontInfo>& font) {
        if (!font)
            return;
        auto again = CreateFontRecord(font->strFaceName, font->nSize, font->bBold, font->bUnderline, font->bItalic,
                                      nDpi);
        if (again) {
            font = std::move(again);
            if (hPaintDC != nullptr)
                FillMetrics(*font);
        }
    };
    for (auto& entry : ownFonts)
        remake(entry.second);
    remake(ownDefaultFont);
    for (auto it = ownImages.begin(); it != ownImages.end();) {
        TImageInfo& old = *it->second;
        if (old.nDpi == 0) {
            ++it;
            continue;
        }
        auto again = LoadImageRecord(it->first, old.strResType, old.dwMask, nDpi);
        if (!again) {
            it = ownImages.erase(it);
            continue;
        }
        again->bUseHSL = old.bUseHSL;
        if (again->bUseHSL)
            again->sourceBits.assign(again->pBits,
                                     again->pBits + static_cast<size_t>(again->nWidth) * again->nHeight * 4);
        it->second = std::move(again);
        ++it;
    }
    failedInlineImages.clear();
}

void CSkinResources::SetPaintDC(HDC dc) { hPaintDC = dc; }
HDC CSkinResources::GetPaintDC() const { return hPaintDC; }
void CSkinResources::SetSharedResourcesMode(bool shared) { bSharedMode = shared; }
bool CSkinResources::IsSharedResourcesMode() const { return bSharedMode; }
void CSkinResources::SetMousePos(POINT pt) { ptMouse = pt; }
POINT CSkinResources::GetMousePos() const { return ptMouse; }

void CSkinResources::RemoveAllOwnResources()
{
    ownImages.clear();
    ownFonts.clear();
    ownClassDefaults.clear();
    failedInlineImages.clear();
    ownDefaultFont.reset();
}

// ---- Images -------------------------------------------------------------

namespace {

// The record of decoded pixels: a DIB section holding a copy of them.
std::unique_ptr<TImageInfo> MakeImageRecord(const DecodedImage& decoded, DWORD mask)
{
    auto image = std::make_unique<TImageInfo>();
    image->hBitmap = CreateDib32(decoded.nWidth, decoded.nHeight, &image->pBits);
    if (image->hBitmap == nullptr)
        return nullptr;
    std::memcpy(image->pBits, decoded.pixels.data(), decoded.pixels.size());
    GdiFlush();
    image->nWidth = decoded.nWidth;
    image->nHeight = decoded.nHeight;
    image->bAlpha = decoded.bAlpha;
    image->dwMask = mask;
    return image;
}

} // namespace

std::unique_ptr<TImageInfo> CSkinResources::DecodeImage(const void* data, size_t size, DWORD mask)
{
    DecodedImage decoded;
    std::string why;
    if (!DecodeImagePixels(data, size, mask, decoded, &why)) {
        LOG_INFO("the image cannot be decoded: %s", why.c_str());
        return nullptr;
    }
    return MakeImageRecord(decoded, mask);
}

namespace {

// The bytes of an image: a resource of the type, else the skin file, else
// the name as a plain file path.
bool ReadImageBytes(const std::wstring& name, const std::wstring& type, std::string& bytes)
{
    bool found = false;
    if (!type.empty())
        found = ReadResource(name, type, bytes);
    else
        found = CSkinSource::ReadSkinFile(name, bytes, kMaxImageFileSize) == SkinReadStatus::Ok;
    return found || ReadPlainFile(name, bytes);
}

// "img\logo.png" -> "img\logo@2x.png"; "" for a name without an extension
// in its last part or a resource id.
std::wstring DoubleSizeName(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    const size_t separator = name.find_last_of(L"\\/");
    if (name.empty() || (name[0] >= L'0' && name[0] <= L'9') || dot == std::wstring::npos || dot == 0 ||
        (separator != std::wstring::npos && dot < separator))
        return std::wstring();
    return name.substr(0, dot) + L"@2x" + name.substr(dot);
}

} // namespace

std::unique_ptr<TImageInfo> CSkinResources::LoadImageRecord(const std::wstring& name, const std::wstring& type,
                                                            DWORD mask, int dpi)
{
    if (name.empty())
        return nullptr;
    if (dpi <= 0)
        dpi = kBaseDpi;
    if (type == L"*COLOR*") {
        auto image = MakeImageRecord(ColorImagePixels(name), mask);
        if (image) {
            image->strResType = type;
            image->nDpi = dpi;
        }
        return image;
    }
    // Above 96 DPI the twin drawn at twice the size, when there is one.
    DecodedImage decoded;
    int madeFor = kBaseDpi;
    std::string bytes;
    std::string why;
    const std::wstring twin = dpi > kBaseDpi ? DoubleSizeName(name) : std::wstring();
    if (!twin.empty() && ReadImageBytes(twin, type, bytes)) {
        if (DecodeImagePixels(bytes.data(), bytes.size(), mask, decoded, &why))
            madeFor = 2 * kBaseDpi;
        else
            LOG_INFO_W(L"the image %ls cannot be decoded; the plain one is used", twin.c_str());
    }
    if (madeFor == kBaseDpi) {
        if (!ReadImageBytes(name, type, bytes)) {
            LOG_INFO_W(L"the image %ls was not found", name.c_str());
            return nullptr;
        }
        if (!DecodeImagePixels(bytes.data(), bytes.size(), mask, decoded, &why)) {
            LOG_INFO("the image cannot be decoded: %s", why.c_str());
            return nullptr;
        }
    }
    const int width = ScaledImageSide(decoded.nWidth, madeFor, dpi);
    const int height = ScaledImageSide(decoded.nHeight, madeFor, dpi);
    if (width != decoded.nWidth || height != decoded.nHeight) {
        DecodedImage scaled;
        if (!ResampleImage(decoded, width, height, scaled)) {
            LOG_INFO_W(L"the image %ls cannot be scaled to %dx%d", name.c_str(), width, height);
            return nullptr;
        }
        decoded = std::move(scaled);
    }
    auto image = MakeImageRecord(decoded, mask);
    if (image) {
        image->strResType = type;
        image->nDpi = dpi;
    }
    return image;
}

const TImageInfo* CSkinResources::AddImageEntry(const std::wstring& name, const std::wstring& type, DWORD mask,
                                                bool useHSL, bool shared)
{
    auto image = LoadImageRecord(name, type, mask, nDpi);
    if (!image)
        return nullptr;
    image->bUseHSL = useHSL;
    if (useHSL) {
        const size_t bytes = static_cast<size_t>(image->nWidth) * static_cast<size_t>(image->nHeight) * 4;
        image->sourceBits.assign(image->pBits, image->pBits + bytes);
    }
    return AddImageEntry(name, std::move(image), shared);
}

const TImageInfo* CSkinResources::AddImageEntry(const std::wstring& name, std::unique_ptr<TImageInfo> image,
                                                bool shared)
{
    if (!image)
        return nullptr;
    ImageTable& table = AddToShared(shared) ? Shared().images : ownImages;
    auto& slot = table[name];
    slot.reset();   // the old record and its bitmap go first
    slot = std::move(image);
    return slot.get();
}

const TImageInfo* CSkinResources::FindImage(const std::wstring& name) const
{
    auto own = ownImages.find(name);
    if (own != ownImages.end())
        return own->second.get();
    auto shared = Shared().images.find(name);
    if (shared != Shared().images.end())
        return shared->second.get();
    return nullptr;
}

const TImageInfo* CSkinResources::FindOrLoadImage(const std::wstring& name, const std::wstring& type, DWORD mask,
                                                  bool useHSL)
{
    if (const TImageInfo* image = FindImage(name))
        return image;
    if (AddImageEntry(name, type, mask, useHSL, false) == nullptr)
        return nullptr;
    return FindImage(name);
}

const TImageInfo* CSkinResources::FindOrLoadInlineImage(const std::wstring& name, const std::wstring& type,
                                                        DWORD mask, bool useHSL)
{
    if (failedInlineImages.count(name) != 0)
        return nullptr;
    const TImageInfo* image = FindOrLoadImage(name, type, mask, useHSL);
    if (image == nullptr)
        failedInlineImages.insert(name);
    return image;
}

void CSkinResources::RemoveImage(const std::wstring& name, bool shared)
{
    (AddToShared(shared) ? Shared().images : ownImages).erase(name);
}

// ---- Fonts --------------------------------------------------------------

std::unique_ptr<TFontInfo> CSkinResources::CreateFontRecord(const std::wstring& face, int size, bool bold,
                                                            bool underline, bool italic, int dpi)
{
    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    std::memset(lf.lfFaceName, 0, sizeof(lf.lfFaceName));
    // The face field holds 32 characters including the terminator.
    const size_t chars = face.size() < kMaxFaceChars - 1 ? face.size() : kMaxFaceChars - 1;
    std::wmemcpy(lf.lfFaceName, face.c_str(), chars);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = -ScaleLength(size, dpi);
    if (bold)
        lf.lfWeight += FW_BOLD;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfItalic = italic ? TRUE : FALSE;
    HFONT font = CreateFontIndirectW(&lf);
    if (font == nullptr) {
        LOG_INFO_W(L"CreateFontIndirectW failed for %ls %d, error %lu", face.c_str(), size,
                   static_cast<unsigned long>(GetLastError()));
        return nullptr;
    }
    auto info = std::make_unique<TFontInfo>();
    info->hFont = font;
    info->strFaceName = face;
    info->nSize = size;
    info->nDpi = dpi;
    info->bBold = bold;
    info->bUnderline = underline;
    info->bItalic = italic;
    return info;
}

void CSkinResources::FillMetrics(TFontInfo& info) const
{
    if (info.bMetricsValid || info.hFont == nullptr)
        return;
    HDC dc = hPaintDC;
    HDC screen = nullptr;
    if (dc == nullptr)
        dc = screen = CreateCompatibleDC(nullptr);
    if (dc == nullptr)
        return;
    HGDIOBJ old = SelectObject(dc, info.hFont);
    info.bMetricsValid = GetTextMetricsW(dc, &info.tm) != FALSE;
    SelectObject(dc, old);
    if (screen != nullptr)
        DeleteDC(screen);
}

HFONT CSkinResources::AddFontEntry(int id, const std::wstring& face, int size, bool bold, bool underline,
                                   bool italic, bool shared)
{
    auto info = CreateFontRecord(face, size, bold, underline, italic, nDpi);
    if (!info)
        return nullptr;
    if (hPaintDC != nullptr)
        FillMetrics(*info);
    FontTable& table = AddToShared(shared) ? Shared().fonts : ownFonts;
    auto& slot = table[id];
    slot.reset();   // deletes the old font handle
    slot = std::move(info);
    return slot->hFont;
}

HFONT CSkinResources::SetBaseFont(const std::wstring& face, int size, bool bold, bool underline, bool italic,
                                  bool shared)
{
    auto info = CreateFontRecord(face, size, bold, underline, italic, nDpi);
    if (!info)
        return nullptr;
    std::unique_ptr<TFontInfo>& slot = AddToShared(shared) ? Shared().defaultFont : ownDefaultFont;
    slot.reset();
    slot = std::move(info);
    return slot->hFont;
}

HFONT CSkinResources::GetFont(int id) const
{
    auto own = ownFonts.find(id);
    if (own != ownFonts.end())
        return own->second->hFont;
    auto shared = Shared().fonts.find(id);
    if (shared != Shared().fonts.end())
        return shared->second->hFont;
    const TFontInfo* base = ownDefaultFont ? ownDefaultFont.get() : Shared().defaultFont.get();
    return base != nullptr ? base->hFont : nullptr;
}

HFONT CSkinResources::GetFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) const
{
    for (const FontTable* table : {static_cast<const FontTable*>(&ownFonts), static_cast<const FontTable*>(&Shared().fonts)}) {
        for (const auto& entry : *table) {
            const TFontInfo& f = *entry.second;
            if (f.strFaceName == face && f.nSize == size && f.bBold == bold && f.bUnderline == underline &&
                f.bItalic == italic)
                return f.hFont;
        }
    }
    return nullptr;
}

int CSkinResources::GetFontId(HFONT font) const
{
    for (const FontTable* table : {static_cast<const FontTable*>(&ownFonts), static_cast<const FontTable*>(&Shared().fonts)})
        for (const auto& entry : *table)
            if (entry.second->hFont == font)
                return entry.first;
    return -1;
}

const TFontInfo* CSkinResources::GetDefaultFontInfo()
{
    TFontInfo* base = ownDefaultFont ? ownDefaultFont.get() : Shared().defaultFont.get();
    if (base != nullptr)
        FillMetrics(*base);
    return base;
}

const TFontInfo* CSkinResources::FontDetails(int id)
{
    for (FontTable* table : {&ownFonts, &Shared().fonts}) {
        auto it = table->find(id);
        if (it != table->end()) {
            FillMetrics(*it->second);
            return it->second.get();
        }
    }
    return GetDefaultFontInfo();
}

const TFontInfo* CSkinResources::FontDetails(HFONT font)
{
    for (FontTable* table : {&ownFonts, &Shared().fonts}) {
        for (auto& entry : *table) {
            if (entry.second->hFont == font) {
                FillMetrics(*entry.second);
                return entry.second.get();
            }
        }
    }
    return GetDefaultFontInfo();
}

int CSkinResources::NextVariantFontId()
{
    return Shared().nNextVariantFont++;
}

// ---- Default attribute lists ------------------------------------------------

void CSkinResources::SetClassDefaults(const std::wstring& elementName, const std::wstring& attributes, bool shared)
{
    (AddToShared(shared) ? Shared().classDefaults : ownClassDefaults)[elementName] = attributes;
}

std::wstring CSkinResources::GetClassDefaults(const std::wstring& elementName) const
{
    auto own = ownClassDefaults.find(elementName);
    if (own != ownClassDefaults.end())
        return own->second;
    auto shared = Shared().classDefaults.find(elementName);
    return shared != Shared().classDefaults.end() ? shared->second : std::wstring();
}

void CSkinResources::RemoveAllClassDefaults()
{
    ownClassDefaults.clear();
}

// ---- Multi-language strings -------------------------------------------------

void CSkinResources::AddLangString(int id, const std::wstring& text)
{
    Shared().langStrings[IntToWide(id)] = text;
}

std::wstring CSkinResources::GetLangString(int id)
{
    auto it = Shared().langStrings.find(IntToWide(id));
    return it != Shared().langStrings.end() ? it->second : std::wstring();
}

void CSkinResources::RemoveAllLangStrings()
{
    Shared().langStrings.clear();
}

std::wstring CSkinResources::ExpandLangTokens(const std::wstring& text)
{
    const auto& strings = Shared().langStrings;
    if (strings.empty() || text.find(L"%{") == std::wstring::npos)
        return text;
    // One left-to-right pass: replaced text is not scanned again, so a string
    // that contains a token cannot make the expansion loop.
    std::wstring out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find(L"%{", pos);
        if (start == std::wstring::npos)
            break;
        size_t end = start + 2;
        while (end < text.size() && text[end] >= L'0' && text[end] <= L'9')
            ++end;
        if (end > start + 2 && end < text.size() && text[end] == L'}') {
            // Leading zeros name the same id ("%{01}" is 1, "%{00}" is 0)
            // only when the digits fit an int; longer runs stay as they are.
            const size_t count = end - start - 2;
            const size_t first = std::min(text.find_first_not_of(L'0', start + 2), end - 1);
            auto it = count <= 9 ? strings.find(text.substr(first, end - first)) : strings.end();
            if (it != strings.end()) {
                out.append(text, pos, start - pos);
                out += it->second;
                pos = end + 1;
                continue;
            }
        }
        out.append(text, pos, start + 2 - pos);
        pos = start + 2;
    }
    out.append(text, pos, std::wstring::npos);
    return out;
}

// ---- Colours ----------------------------------------------------------------

void CSkinResources::SetDefaultDisabledColor(DWORD color, bool shared)
{
    dwDisabledColor = color;
    if (shared)
        Shared().dwDisabledColor = color;
}

void CSkinResources::SetDefaultFontColor(DWORD color, bool shared)
{
    dwFontColor = color;
    if (shared)
        Shared().dwFontColor = color;
}

void CSkinResources::SetDefaultLinkFontColor(DWORD color, bool shared)
{
    dwLinkColor = color;
    if (shared)
        Shared().dwLinkColor = color;
}

void CSkinResources::SetDefaultLinkHoverFontColor(DWORD color, bool shared)
{
    dwLinkHoverColor = color;
    if (shared)
        Shared().dwLinkHoverColor = color;
}

void CSkinResources::SetDefaultSelectedBkColor(DWORD color, bool shared)
{
    dwSelectedBkColor = color;
    if (shared)
        Shared().dwSelectedBkColor = color;
}

// ---- Process-wide -------------------------------------------------------------

void CSkinResources::ReleaseSharedResources()
{
    SharedTables& s = Shared();
    s.images.clear();
    s.fonts.clear();
    s.classDefaults.clear();
    s.langStrings.clear();
    s.defaultFont.reset();
}

unsigned CSkinResources::ImageGeneration()
{
    return g_imageGeneration;
}

bool CSkinResources::IsHSLAdjustmentActive()
{
    return false;
}

} // namespace SkinUI

#endif // _WIN32
