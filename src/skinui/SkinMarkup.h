// The skin's layout reader: a small, forgiving subset of XML parsed in one
// pass into a flat table of elements. CSkinMarkup owns the document text (as
// UTF-16/UTF-32 wide characters, rewritten in place while parsing so every
// name and value becomes a zero-terminated string inside it) and the element
// table. CSkinMarkupNode is a light value that designates one element; it owns
// nothing, and every string it hands out points into its markup's text and
// lives as long as that document.
//
// Classes in this file: CSkinMarkup, CSkinMarkupNode.
// Everything runs on the UI thread; a markup is not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CZipArchive;

namespace SkinUI {

class CSkinMarkup;

// Encodings of byte input.
enum MarkupEncoding {
    kMarkupEncoding_Utf8 = 0,   // optional EF BB BF mark; every skin file uses this
    kMarkupEncoding_Utf16 = 1,  // FF FE or FE FF mark; without a mark read as little-endian
    kMarkupEncoding_Ansi = 2,   // the ANSI code page on Windows, Latin-1 elsewhere
};

class CSkinMarkupNode {
public:
    static constexpr int kMaxAttributes = 64;

    CSkinMarkupNode();  // an invalid node

    bool IsValid() const;
    // Next sibling / first child / parent element; an invalid node when there
    // is none or this node is invalid. The parent of a top-level element is
    // invalid.
    CSkinMarkupNode GetSibling() const;
    CSkinMarkupNode GetChild() const;
    CSkinMarkupNode GetParent() const;

    // Element name and character data (the text before the first child, with
    // the five entities decoded); nullptr for an invalid node.
    const wchar_t* GetName() const;
    const wchar_t* GetValue() const;

    bool HasChildren() const;
    bool HasAttributes() const;

    // Attributes are mapped on first use, at most 64 in document order; any
    // further attributes of the element are invisible.
    int GetAttributeCount() const;
    // "" for an index outside 0..count-1; nullptr for an invalid node.
    const wchar_t* GetAttributeName(int index) const;
    const wchar_t* GetAttributeValue(int index) const;
    // First attribute with exactly this name (case-sensitive); nullptr when
    // absent or the node is invalid.
    const wchar_t* GetAttributeValue(const wchar_t* name) const;
    bool HasAttribute(const wchar_t* name) const;
    // Copies the value into destination, truncated to size-1 characters and
    // always zero-terminated (nothing is written when size is 0). False when
    // the node is invalid or the attribute is absent.
    bool GetAttributeValue(const wchar_t* name, wchar_t* destination, size_t size) const;

private:
    friend class CSkinMarkup;
    CSkinMarkupNode(const CSkinMarkup* markup, uint32_t element);
    void MapAttributes() const;

    struct AttributePair {
        uint32_t name;   // character offsets into the markup's text
        uint32_t value;
    };

    uint32_t nElement = 0;
    // Filled by MapAttributes on first use; 0 means not mapped yet.
    mutable uint32_t nAttributes = 0;
    mutable AttributePair aAttributes[kMaxAttributes] = {};
    const CSkinMarkup* pOwner = nullptr;
};

class CSkinMarkup {
public:
    // Largest skin file accepted from a folder or an archive.
    static constexpr uint64_t kMaxFileSize = 4194304;
    static constexpr size_t kMaxErrorMessage = 99;
    static constexpr size_t kMaxErrorLocation = 49;

    // Loads the text when one is given, as Load does.
    explicit CSkinMarkup(const wchar_t* text = nullptr);
    ~CSkinMarkup();
    CSkinMarkup(const CSkinMarkup&) = delete;
    CSkinMarkup& operator=(const CSkinMarkup&) = delete;

    // Each loader releases the previous document first. True on success; on
    // failure the markup is released and the error fields say why.
    bool Load(const wchar_t* text);
    bool LoadFromMem(const void* bytes, size_t size, int encoding = kMarkupEncoding_Utf8);
    // A file read through the skin source (see SetFileSource). Without a
    // source the name is read as a plain path.
    bool LoadFromFile(const std::wstring& name, int encoding = kMarkupEncoding_Utf8);
    // A file by its full path ("Error opening file", "File is empty",
    // "File too large", "Could not read file").
    bool LoadFromPath(const std::wstring& path, int encoding = kMarkupEncoding_Utf8);
    // An entry of an open archive, looked up ignoring case with "\" read as
    // "/"; names of 256 characters or more are never found ("Error opening zip
    // file" for a null or closed archive, "Could not find ziped file",
    // "File is empty", "File too large", "Could not unzip file").
    bool LoadFromArchive(const CZipArchive* archive, const std::wstring& name,
                         int encoding = kMarkupEncoding_Utf8);
    // The same from an archive file opened for this read only.
    bool LoadFromArchiveFile(const std::wstring& archivePath, const std::wstring& name,
                             int encoding = kMarkupEncoding_Utf8);

    void Release();
    bool IsValid() const;
    // Element 1, or an invalid node when the document holds no element.
    CSkinMarkupNode GetRoot() const;

    // The last failure: message (at most 99 characters) and the text where it
    // was detected (at most 49 characters; for a loading failure, the name).
    // Both are empty after a successful load.
    const wchar_t* GetLastErrorMessage() const;
    const wchar_t* GetLastErrorLocation() const;

    // Records in use (the sentinel record 0 included) and allocated.
    uint32_t GetElementCount() const;
    uint32_t GetElementCapacity() const;

    // How LoadFromFile reads a skin file: the skin source installs a function
    // that calls LoadFromPath or LoadFromArchive on the markup it is given.
    // An empty function restores the plain-path default. Process-wide; set it
    // on the UI thread before the first layout is loaded.
    using FileSource = std::function<bool(CSkinMarkup& markup, const std::wstring& name, int encoding)>;
    static void SetFileSource(FileSource source);

private:
    friend class CSkinMarkupNode;

    struct Element {
        uint32_t name;          // offset of the element name in the text
        uint32_t child;         // first child, 0 if none
        uint32_t sibling;       // next sibling, 0 if none
        uint32_t parent;        // 0 for top-level elements
        uint32_t value;         // offset of the character data in the text
    };

    bool Parse();
    bool ParseAttributes(size_t& pos);
    bool ScanData(size_t& pos, wchar_t stop, size_t& end);
    bool AllocateElement(uint32_t& index);
    bool Fail(const wchar_t* message, size_t pos);
    bool FailLoading(const wchar_t* message, const std::wstring& name);
    void ClearErrors();

    // The document, zero-terminated; valid after a successful load.
    std::unique_ptr<wchar_t[]> pText;
    size_t nTextLength = 0;
    std::unique_ptr<Element[]> pElements;
    uint32_t nElements = 0;
    uint32_t nElementCapacity = 0;

    wchar_t szErrorMsg[kMaxErrorMessage + 1] = {};
    wchar_t szErrorLocation[kMaxErrorLocation + 1] = {};
    // Character data always keeps every character (line breaks and runs of
    // blanks included); there is no mode that collapses them.
};

} // namespace SkinUI
