// Local files for the queue.
#include "queue/QueueLocalFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

FileFacts localFileFacts(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return FileFacts{};
    return FileFacts{true, static_cast<std::int64_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec)};
}

namespace {

FolderEntry describeEntry(const fs::directory_entry& entry)
{
    FolderEntry result;
    result.name = entry.path().filename().string();
    std::error_code error;
    const fs::file_status own = entry.symlink_status(error);
    const fs::file_status target = entry.status(error);
    if (fs::is_directory(target) && !fs::is_symlink(own)) {
        result.kind = QueueItemKind::Folder;
    } else if (fs::is_directory(target)) {
        result.problem = "A link to a folder is not followed.";
    } else if (fs::is_regular_file(target)) {
        result.facts = localFileFacts(entry.path().string());
    } else if (fs::is_symlink(own) && !fs::exists(target)) {
        result.problem = "The link points to nothing.";
        result.problemFails = true;
    } else {
        result.problem = "Not a regular file.";
    }
    return result;
}

} // namespace

std::vector<FolderEntry> listLocalFolder(const std::string& path)
{
    std::vector<FolderEntry> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(path))
        entries.push_back(describeEntry(entry));
    return entries;
}

void setLocalModified(const std::string& path, std::int64_t utcSeconds)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(utcSeconds), 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw fs::filesystem_error("Cannot set the modification time", path,
                                   std::error_code(errno, std::generic_category()));
}
