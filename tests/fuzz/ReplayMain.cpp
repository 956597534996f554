// Feeds every file of the given folders (or the given files) to the fuzz
// target once. Used to re-run seed corpora and kept crash inputs in the
// ordinary test run, where the sanitizers report any fault.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunFile(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

int RunPath(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return RunFile(path);
    int count = 0;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                count += RunPath(path + "/" + name);
        }
        closedir(dir);
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i)
        count += RunPath(argv[i]);
    std::printf("replayed %d inputs\n", count);
    // An empty corpus means the seeds went missing: that is a failure.
    return count > 0 ? 0 : 1;
}
