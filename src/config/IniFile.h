// Portable reading of the package's INI files, giving the same answers as the
// Windows private-profile functions for them: UTF-16 files with a byte-order
// mark and 8-bit ANSI files, CR LF or LF line ends, section and key names
// matched without regard to case, surrounding blanks of names and values
// dropped, a value in matching quotes unquoted by the single-key read.
//
// CIniFile owns the parsed sections of one file. ReadIniSection and
// ReadIniString are the two reads the language manager makes, with the
// buffer sizes it uses (4096 and 256 wide characters).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class CIniFile {
public:
    struct Line {
        std::wstring name;
        std::wstring value;
        bool hasValue = false;   // the line held an "="
    };

    // Reads and parses a file; false when it cannot be read (the content is
    // then empty).
    bool Load(const std::wstring& path);
    // Parses file bytes; the encoding is taken from the byte-order mark.
    void Parse(const std::string& bytes);

    // The section's lines as the system's section read delivers them into a
    // buffer of `capacity` wide characters: "name=value" entries, each ending
    // in a zero, the list ending in an empty entry. A longer section is cut
    // off at the buffer's size, the list still ending in two zeros. A missing
    // section gives the empty list.
    std::wstring SectionBlock(const std::wstring& section, size_t capacity) const;

    // The value of a key as the system's string read delivers it into a
    // buffer of `capacity` wide characters (so at most capacity - 1 of them);
    // `found` tells whether the key exists.
    std::wstring GetString(const std::wstring& section, const std::wstring& key, size_t capacity,
                           bool* found = nullptr) const;

private:
    struct Section {
        std::wstring name;
        std::vector<Line> lines;
    };
    const Section* FindSection(const std::wstring& name) const;

    std::vector<Section> sections;
};

// Decodes the bytes of an INI file to wide text: UTF-16LE or UTF-16BE after
// their byte-order marks, UTF-8 after its mark, otherwise Windows-1252.
std::wstring DecodeIniText(const std::string& bytes);

// Buffer sizes of the two reads, in wide characters.
constexpr size_t kIniSectionBuffer = 4096;
constexpr size_t kIniStringBuffer = 256;

// Adds the entries of one section to `values`, split at the first "="; a key
// already in the map keeps its value. A missing file or section adds nothing.
// Always succeeds.
bool ReadIniSection(const std::wstring& file, const std::wstring& section,
                    std::map<std::wstring, std::wstring>& values);

// One value, at most 255 characters; "" when the file, section or key is
// missing.
std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key);
