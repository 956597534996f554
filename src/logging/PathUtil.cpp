#include "logging/PathUtil.h"

#include "logging/FileSystem.h"

std::wstring NormalizePath(const std::wstring& path)
{
    std::wstring slashed = path;
    for (wchar_t& c : slashed)
        if (c == L'/')
            c = L'\\';
    std::wstring out;
    out.reserve(slashed.size());
    for (size_t i = 0; i < slashed.size(); ++i) {
        out += slashed[i];
        if (slashed[i] == L'\\' && i + 1 < slashed.size() && slashed[i + 1] == L'\\')
            ++i;  // the pair collapses into the one just written
    }
    return out;
}

std::wstring StripTrailingSeparator(const std::wstring& path)
{
    if (path.empty())
        return path;
    std::wstring out = NormalizePath(path);
    if (out.size() >= 2 && out.back() == L'\\')
        out.pop_back();
    return out;
}

bool PathExists(const std::wstring& path)
{
    return FsPathExists(NormalizePath(path));
}

bool CreateDirectoryChain(const std::wstring& path)
{
    std::wstring dir = StripTrailingSeparator(path);
    if (dir.empty())
        return false;
    if (PathExists(dir))
        return true;
    std::wstring withSeparator = NormalizePath(dir + L"\\");
    for (size_t i = 1; i < withSeparator.size(); ++i) {
        if (withSeparator[i] != L'\\')
            continue;
        std::wstring prefix = withSeparator.substr(0, i);
        if (!PathExists(prefix))
            FsCreateDirectory(prefix);  // a failure shows in the final check
    }
    FsCreateDirectory(dir);
    return PathExists(dir);
}

std::wstring GetModuleDirectory()
{
    std::wstring exe = NormalizePath(FsExecutablePath());
    size_t cut = exe.rfind(L'\\');
    return cut == std::wstring::npos ? std::wstring() : exe.substr(0, cut);
}
