// Adding and removing the trailing delimiter, joining a name, going up one level, and the
// last name of a path.
#include "model/PathText.h"

std::string withDelimiter(std::string directory)
{
    if (directory.empty() || directory.back() != kPathDelimiter)
        directory += kPathDelimiter;
    return directory;
}

std::string withoutDelimiter(std::string path)
{
    while (path.size() > 1 && path.back() == kPathDelimiter)
        path.pop_back();
    return path;
}

std::string joinPath(std::string folder, const std::string& name)
{
    return withDelimiter(std::move(folder)) + name;
}

std::optional<std::string> parentDirectory(const std::string& directory)
{
    const std::string path = withDelimiter(directory);
    // The delimiter before the last name; the trailing one does not count.
    const std::size_t last = path.size() >= 2 ? path.rfind(kPathDelimiter, path.size() - 2)
                                              : std::string::npos;
    if (last == std::string::npos)
        return std::nullopt;
    return path.substr(0, last + 1);
}

std::string lastPathComponent(const std::string& path)
{
    const std::size_t slash = path.rfind(kPathDelimiter);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
