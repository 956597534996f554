#include "skinui/SkinMarkup.h"

#include "skinui/SkinValues.h"
#include "config/ZipArchive.h"
#include "logging/FileSystem.h"
#include "logging/TextEncoding.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace SkinUI {

namespace {

// Names of archive entries this long or longer are never found.
constexpr size_t kMaxArchiveName = 256;
// Offsets are 32-bit; a longer text cannot be addressed.
constexpr size_t kMaxTextLength = 0x7FFFFFF0u;

CSkinMarkup::FileSource& FileSourceHook()
{
    static CSkinMarkup::FileSource source;
    return source;
}

inline bool IsIdentifierChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L':';
}

void CopyLimited(wchar_t* destination, size_t capacity, const wchar_t* source)
{
    size_t n = 0;
    if (source != nullptr)
        while (n + 1 < capacity && source[n] != 0) {
            destination[n] = source[n];
            ++n;
        }
    destination[n] = 0;
}

// Little-endian UTF-16 code units into wide characters: copied as they stand
// where wchar_t is 2 bytes, combined into code points where it is 4 (an
// unpaired surrogate becomes U+FFFD).
std::wstring Utf16ToWide(const std::vector<uint16_t>& units)
{
    std::wstring out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t u = units[i];
        if constexpr (sizeof(wchar_t) == 2) {
            out += static_cast<wchar_t>(u);
        } else {
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                units[i + 1] <= 0xDFFF) {
                uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
                out += static_cast<wchar_t>(cp);
                ++i;
            } else if (u >= 0xD800 && u <= 0xDFFF) {
                out += static_cast<wchar_t>(0xFFFD);
            } else {
                out += static_cast<wchar_t>(u);
            }
        }
    }
    return out;
}

std::wstring AnsiBytesToWide(const unsigned char* bytes, size_t size)
{
#ifdef _WIN32
    if (size == 0 || size > 0x7FFFFFFF)
        return std::wstring();
    const char* text = reinterpret_cast<const char*>(bytes);
    int count = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), &out[0], count);
    return out;
#else
    // No ANSI code page outside Windows: every byte is its Latin-1 character.
    std::wstring out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i)
        out += static_cast<wchar_t>(bytes[i]);
    return out;
#endif
}

} // namespace

// ---------------------------------------------------------------------------
// CSkinMarkupNode

CSkinMarkupNode::CSkinMarkupNode() = default;

CSkinMarkupNode::CSkinMarkupNode(const CSkinMarkup* markup, uint32_t element)
    : nElement(element), pOwner(markup)
{
}

bool CSkinMarkupNode::IsValid() const
{
    return pOwner != nullptr;
}

CSkinMarkupNode CSkinMarkupNode::GetSibling() const
{
    if (pOwner == nullptr)
        return CSkinMarkupNode();
    uint32_t next = pOwner->pElements[nElement].sibling;
    return next == 0 ? CSkinMarkupNode() : CSkinMarkupNode(pOwner, next);
}

CSkinMarkupNode CSkinMarkupNode::GetChild() const
{
    if (pOwner == nullptr)
        return CSkinMarkupNode();
    uint32_t child = pOwner->pElements[nElement].child;
    return child == 0 ? CSkinMarkupNode() : CSkinMarkupNode(pOwner, child);
}

CSkinMarkupNode CSkinMarkupNode::GetParent() const
{
    if (pOwner == nullptr)
        return CSkinMarkupNode();
    uint32_t parent = pOwner->pElements[nElement].parent;
    return parent == 0 ? CSkinMarkupNode() : CSkinMarkupNode(pOwner, parent);
}

const wchar_t* CSkinMarkupNode::GetName() const
{
    if (pOwner == nullptr)
        return nullptr;
    return pOwner->pText.get() + pOwner->pElements[nElement].name;
}

const wchar_t* CSkinMarkupNode::GetValue() const
{
    if (pOwner == nullptr)
        return nullptr;
    return pOwner->pText.get() + pOwner->pElements[nElement].value;
}

bool CSkinMarkupNode::HasChildren() const
{
    return pOwner != nullptr && pOwner->pElements[nElement].child != 0;
}

bool CSkinMarkupNode::HasAttributes() const
{
    return GetAttributeCount() > 0;
}

int CSkinMarkupNode::GetAttributeCount() const
{
    if (pOwner == nullptr)
        return 0;
    if (nAttributes == 0)
        MapAttributes();
    return static_cast<int>(nAttributes);
}

const wchar_t* CSkinMarkupNode::GetAttributeName(int index) const
{
    if (pOwner == nullptr)
        return nullptr;
    if (index < 0 || index >= GetAttributeCount())
        return L"";
    return pOwner->pText.get() + aAttributes[index].name;
}

const wchar_t* CSkinMarkupNode::GetAttributeValue(int index) const
{
    if (pOwner == nullptr)
        return nullptr;
    if (index < 0 || index >= GetAttributeCount())
        return L"";
    return pOwner->pText.get() + aAttributes[index].value;
}

const wchar_t* CSkinMarkupNode::GetAttributeValue(const wchar_t* name) const
{
    if (pOwner == nullptr || name == nullptr)
        return nullptr;
    const int count = GetAttributeCount();
    const wchar_t* text = pOwner->pText.get();
    for (int i = 0; i < count; ++i)
        if (std::wcscmp(text + aAttributes[i].name, name) == 0)
            return text + aAttributes[i].value;
    return nullptr;
}

bool CSkinMarkupNode::HasAttribute(const wchar_t* name) const
{
    return GetAttributeValue(name) != nullptr;
}

bool CSkinMarkupNode::GetAttributeValue(const wchar_t* name, wchar_t* destination, size_t size) const
{
    const wchar_t* value = GetAttributeValue(name);
    if (value == nullptr)
        return false;
    if (destination != nullptr && size > 0)
        CopyLimited(destination, size, value);
    return true;
}

// Walks the rewritten start tag from behind the element name to its value
// position. After parsing it reads, per attribute: blanks, the name and its
// terminator (which replaced either the blank or the "=" behind the name),
// blanks, the "=" when it is still there, blanks, the opening quote, the
// value and its terminator, then blanks that filled the rest.
void CSkinMarkupNode::MapAttributes() const
{
    nAttributes = 0;
    const wchar_t* text = pOwner->pText.get();
    const CSkinMarkup::Element& element = pOwner->pElements[nElement];
    const size_t end = element.value;
    size_t pos = element.name + std::wcslen(text + element.name) + 1;
    while (pos < end && nAttributes < static_cast<uint32_t>(kMaxAttributes)) {
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos >= end || text[pos] == L'>' || text[pos] == L'/')
            break;
        size_t namePos = pos;
        if (text[pos] == L'"') {
            // An empty name written straight after the element name: its
            // terminator replaced the "=" and is the element name's too.
            namePos = pos - 1;
        } else {
            while (pos < end && text[pos] != 0)
                ++pos;
            ++pos;
        }
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos < end && text[pos] == L'=')
            ++pos;
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos >= end || text[pos] != L'"')
            break;  // cannot happen after a successful parse
        ++pos;
        const size_t valuePos = pos;
        while (pos < end && text[pos] != 0)
            ++pos;
        ++pos;
        aAttributes[nAttributes].name = static_cast<uint32_t>(namePos);
        aAttributes[nAttributes].value = static_cast<uint32_t>(valuePos);
        ++nAttributes;
    }
}

// ---------------------------------------------------------------------------
// CSkinMarkup

CSkinMarkup::CSkinMarkup(const wchar_t* text)
{
    if (text != nullptr)
        Load(text);
}

CSkinMarkup::~CSkinMarkup() = default;

void CSkinMarkup::Release()
{
    pText.reset();
    nTextLength = 0;
    pElements.reset();
    nElements = 0;
    nElementCapacity = 0;
}

bool CSkinMarkup::IsValid() const
{
    return pElements != nullptr;
}

CSkinMarkupNode CSkinMarkup::GetRoot() const
{
    if (pElements == nullptr || nElements < 2)
        return CSkinMarkupNode();
    return CSkinMarkupNode(this, 1);
}

const wchar_t* CSkinMarkup::GetLastErrorMessage() const
{
    return szErrorMsg;
}

const wchar_t* CSkinMarkup::GetLastErrorLocation() const
{
    return szErrorLocation;
}

uint32_t CSkinMarkup::GetElementCount() const
{
    return nElements;
}

uint32_t CSkinMarkup::GetElementCapacity() const
{
    return nElementCapacity;
}

void CSkinMarkup::SetFileSource(FileSource source)
{
    FileSourceHook() = std::move(source);
}

void CSkinMarkup::ClearErrors()
{
    szErrorMsg[0] = 0;
    szErrorLocation[0] = 0;
}

bool CSkinMarkup::Fail(const wchar_t* message, size_t pos)
{
    CopyLimited(szErrorMsg, kMaxErrorMessage + 1, message);
    const wchar_t* at = (pText && pos <= nTextLength) ? pText.get() + pos : L"";
    CopyLimited(szErrorLocation, kMaxErrorLocation + 1, at);
    Release();
    return false;
}

bool CSkinMarkup::FailLoading(const wchar_t* message, const std::wstring& name)
{
    Release();
    CopyLimited(szErrorMsg, kMaxErrorMessage + 1, message);
    CopyLimited(szErrorLocation, kMaxErrorLocation + 1, name.c_str());
    return false;
}

bool CSkinMarkup::Load(const wchar_t* text)
{
    Release();
    ClearErrors();
    if (text == nullptr)
        text = L"";
    const size_t length = std::wcslen(text);
    if (length > kMaxTextLength)
        return FailLoading(L"File too large", std::wstring());
    pText.reset(new (std::nothrow) wchar_t[length + 1]);
    if (!pText)
        return FailLoading(L"File too large", std::wstring());
    std::memcpy(pText.get(), text, (length + 1) * sizeof(wchar_t));
    nTextLength = length;
    return Parse();
}

bool CSkinMarkup::LoadFromMem(const void* bytes, size_t size, int encoding)
{
    Release();
    ClearErrors();
    const auto* data = static_cast<const unsigned char*>(bytes);
    if (data == nullptr)
        size = 0;
    std::wstring text;
    if (encoding == kMarkupEncoding_Utf16) {
        size_t start = 0;
        bool bigEndian = false;
        if (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
            bigEndian = data[0] == 0xFE;
            start = 2;
        }
        std::vector<uint16_t> units;
        units.reserve((size - start) / 2);
        for (size_t i = start; i + 1 < size; i += 2) {
            uint16_t lo = bigEndian ? data[i + 1] : data[i];
            uint16_t hi = bigEndian ? data[i] : data[i + 1];
            units.push_back(static_cast<uint16_t>(lo | (hi << 8)));
        }
        text = Utf16ToWide(units);
    } else if (encoding == kMarkupEncoding_Ansi) {
        text = AnsiBytesToWide(data, size);
    } else {
        size_t start = 0;
        if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
            start = 3;
        text = Utf8ToWide(std::string(reinterpret_cast<const char*>(data) + start, size - start));
    }
    // A zero character ends the document, as it ends a wide string.
    return Load(text.c_str());
}

bool CSkinMarkup::LoadFromFile(const std::wstring& name, int encoding)
{
    const FileSource& source = FileSourceHook();
    if (source)
        return source(*this, name, encoding);
    return LoadFromPath(name, encoding);
}

bool CSkinMarkup::LoadFromPath(const std::wstring& path, int encoding)
{
    Release();
    ClearErrors();
    FILE* file = FsOpenFile(path, "rb");
    if (file == nullptr)
        return FailLoading(L"Error opening file", path);
    uint64_t size = 0;
    if (!FsFileSize(path, size)) {
        std::fclose(file);
        return FailLoading(L"Error opening file", path);
    }
    if (size == 0) {
        std::fclose(file);
        return FailLoading(L"File is empty", path);
    }
    if (size > kMaxFileSize) {
        std::fclose(file);
        return FailLoading(L"File too large", path);
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (read != bytes.size())
        return FailLoading(L"Could not read file", path);
    return LoadFromMem(bytes.data(), bytes.size(), encoding);
}

bool CSkinMarkup::LoadFromArchive(const CZipArchive* archive, const std::wstring& name, int encoding)
{
    Release();
    ClearErrors();
    if (archive == nullptr || !archive->IsOpen())
        return FailLoading(L"Error opening zip file", name);
    const int index = name.size() >= kMaxArchiveName ? -1 : archive->Find(name);
    CZipArchive::Entry entry;
    if (index < 0 || !archive->GetEntry(index, entry))
        return FailLoading(L"Could not find ziped file", name);
    if (entry.size == 0)
        return FailLoading(L"File is empty", name);
    if (entry.size > kMaxFileSize)
        return FailLoading(L"File too large", name);
    std::string bytes;
    if (!archive->Read(index, bytes, kMaxFileSize))
        return FailLoading(L"Could not unzip file", name);
    return LoadFromMem(bytes.data(), bytes.size(), encoding);
}

bool CSkinMarkup::LoadFromArchiveFile(const std::wstring& archivePath, const std::wstring& name, int encoding)
{
    CZipArchive archive;
    if (!archive.OpenFile(archivePath)) {
        Release();
        ClearErrors();
        return FailLoading(L"Error opening zip file", name);
    }
    return LoadFromArchive(&archive, name, encoding);
}

// ---------------------------------------------------------------------------
// Parsing

bool CSkinMarkup::AllocateElement(uint32_t& index)
{
    if (nElements >= nElementCapacity) {
        const uint64_t grown = static_cast<uint64_t>(nElementCapacity) + nElementCapacity / 2 + 500;
        if (grown > 0xFFFFFFF0u)
            return false;
        std::unique_ptr<Element[]> bigger(new (std::nothrow) Element[static_cast<size_t>(grown)]);
        if (!bigger)
            return false;
        if (nElements > 0)
            std::memcpy(bigger.get(), pElements.get(), nElements * sizeof(Element));
        pElements = std::move(bigger);
        nElementCapacity = static_cast<uint32_t>(grown);
    }
    index = nElements++;
    pElements[index] = Element{0, 0, 0, 0, 0};
    return true;
}

// The data scanner: copies characters towards the front while decoding the
// five entities, up to the stop character or the end of the text. The gap the
// decoding leaves is filled with blanks. end receives where the decoded data
// ends; the caller writes its terminator there once the character at pos has
// been consumed (the two may be the same position).
bool CSkinMarkup::ScanData(size_t& pos, wchar_t stop, size_t& end)
{
    static const struct {
        const wchar_t* name;
        size_t length;
        wchar_t value;
    } kEntities[] = {
        {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'}, {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''},
    };
    wchar_t* text = pText.get();
    size_t dest = pos;
    while (text[pos] != 0 && text[pos] != stop) {
        if (text[pos] == L'&') {
            bool decoded = false;
            for (const auto& entity : kEntities) {
                if (std::wcsncmp(text + pos, entity.name, entity.length) == 0) {
                    text[dest++] = entity.value;
                    pos += entity.length;
                    decoded = true;
                    break;
                }
            }
            if (decoded)
                continue;
        }
        text[dest++] = text[pos++];
    }
    for (size_t gap = dest; gap < pos; ++gap)
        text[gap] = L' ';
    end = dest;
    return true;
}

bool CSkinMarkup::ParseAttributes(size_t& pos)
{
    wchar_t* text = pText.get();
    if (text[pos] == L'>')
        return true;
    for (;;) {
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] == 0 || text[pos] == L'>' || text[pos] == L'/')
            return true;
        const size_t nameEnd = [&] {
            while (IsIdentifierChar(text[pos]))
                ++pos;
            return pos;
        }();
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] != L'=')
            return Fail(L"Error while parsing attributes", pos);
        ++pos;
        // The "=" is consumed, so the name's terminator may take its place.
        text[nameEnd] = 0;
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] != L'"')
            return Fail(L"Expected attribute value", pos);
        ++pos;
        size_t valueEnd = 0;
        ScanData(pos, L'"', valueEnd);
        if (text[pos] == 0)
            return Fail(L"Error while parsing attribute string", pos);
        text[pos] = L' ';
        ++pos;
        text[valueEnd] = 0;
    }
}

// One pass over the text with an explicit stack of open elements instead of
// recursion, so deep nesting cannot exhaust the call stack.
bool CSkinMarkup::Parse()
{
    wchar_t* text = pText.get();
    nElements = 0;
    ClearErrors();

    struct Open {
        uint32_t element;    // the element whose content this is (0: document)
        uint32_t lastChild;  // previous element created in this content
        size_t nameLength;   // of the element's name
        size_t dataEnd;      // where the element's data terminator goes
    };
    std::vector<Open> stack;

    uint32_t sentinel = 0;
    if (!AllocateElement(sentinel))
        return Fail(L"File too large", 0);
    stack.push_back(Open{0, 0, 0, 0});

    // At the end of the text: every open element's data is terminated.
    auto finish = [&]() {
        for (const Open& open : stack)
            if (open.element != 0)
                text[open.dataEnd] = 0;
        return true;
    };
    // A closing tag "</name>" at pos for the innermost open element.
    auto closeElement = [&](size_t& pos, const Open& open) {
        const wchar_t* name = text + pElements[open.element].name;
        pos += 2;
        while (IsBlank(text[pos]))
            ++pos;
        if (std::wcsncmp(text + pos, name, open.nameLength) != 0)
            return Fail(L"Unmatched closing tag", pos);
        pos += open.nameLength;
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] != L'>')
            return Fail(L"Unmatched closing tag", pos);
        ++pos;
        text[open.dataEnd] = 0;
        return true;
    };

    size_t pos = 0;
    for (;;) {
        Open& content = stack.back();
        const uint32_t parent = content.element;
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] == 0) {
            if (parent <= 1)
                return finish();
            return Fail(L"Expected start tag", pos);
        }
        if (text[pos] != L'<')
            return Fail(L"Expected start tag", pos);
        if (text[pos + 1] == L'/') {
            if (parent == 0)
                return finish();  // the document is complete; the rest is ignored
            const Open done = content;
            stack.pop_back();
            if (!closeElement(pos, done))
                return false;
            continue;
        }
        ++pos;
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] == L'!' || text[pos] == L'?') {
            const wchar_t* close = text[pos] == L'!' ? L"->" : L"?>";
            const wchar_t* found = std::wcsstr(text + pos, close);
            pos = found != nullptr ? static_cast<size_t>(found - text) + 2 : nTextLength;
            continue;
        }
        while (IsBlank(text[pos]))
            ++pos;

        uint32_t index = 0;
        if (!AllocateElement(index))
            return Fail(L"File too large", pos);
        Open& current = stack.back();  // the table may have moved, the stack not
        pElements[index].parent = parent;
        if (current.lastChild != 0)
            pElements[current.lastChild].sibling = index;
        else if (parent != 0)
            pElements[parent].child = index;
        current.lastChild = index;

        const size_t nameStart = pos;
        while (IsIdentifierChar(text[pos]))
            ++pos;
        const size_t nameEnd = pos;
        if (nameEnd == nameStart)
            return Fail(L"Error parsing element name", pos);
        pElements[index].name = static_cast<uint32_t>(nameStart);

        if (!ParseAttributes(pos))
            return false;
        while (IsBlank(text[pos]))
            ++pos;
        if (text[pos] == L'/' && text[pos + 1] == L'>') {
            // Empty element: its value is the empty string at the "/".
            text[pos] = 0;
            text[nameEnd] = 0;
            pElements[index].value = static_cast<uint32_t>(pos);
            pos += 2;
            continue;
        }
        if (text[pos] != L'>')
            return Fail(L"Expected start-tag closing", pos);
        ++pos;
        text[nameEnd] = 0;

        pElements[index].value = static_cast<uint32_t>(pos);
        size_t dataEnd = 0;
        ScanData(pos, L'<', dataEnd);
        Open opened{index, 0, nameEnd - nameStart, dataEnd};
        if (text[pos] == 0) {
            if (parent <= 1) {
                text[dataEnd] = 0;
                return finish();
            }
            return Fail(L"Expected end-tag start", pos);
        }
        if (text[pos + 1] != L'/') {
            stack.push_back(opened);  // its content follows
            continue;
        }
        if (!closeElement(pos, opened))
            return false;
    }
}

} // namespace SkinUI
