// The ZIP reader over any bytes: every entry listed, looked up by its name
// and inflated (at most 1 MiB each), then the whole block extracted into a
// scratch folder, which is emptied again after each input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/ResourcePackage.h"
#include "config/ZipArchive.h"
#include "logging/TextEncoding.h"

namespace {

const std::filesystem::path& Scratch()
{
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/pw-zip-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::filesystem::path(made != nullptr ? made : "/tmp/pw-zip-fuzz");
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CZipArchive zip;
    if (zip.OpenMemory(data, size)) {
        const int count = zip.Count();
        for (int i = 0; i < count && i < 1000; ++i) {
            CZipArchive::Entry entry;
            if (!zip.GetEntry(i, entry))
                __builtin_trap();   // an index below Count() always has an entry
            std::string bytes;
            if (zip.Read(i, bytes, 1 << 20) && bytes.size() != entry.size)
                __builtin_trap();   // a successful read has the size the entry says
            if (!entry.name.empty() && zip.Find(entry.name) < 0)
                __builtin_trap();   // every listed name (an empty one finds nothing) is found again
            IsSafeEntryName(entry.name);
        }
    }
    const std::filesystem::path target = Scratch() / "out";
    ExtractArchiveToFolder(data, size, Utf8ToWide(target.string()));
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(Scratch(), ignored))
        std::filesystem::remove_all(item.path(), ignored);
    return 0;
}
