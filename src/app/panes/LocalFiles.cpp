// Local file-system calls of the local pane, on byte paths through the POSIX calls.
#include "app/panes/LocalFiles.h"

#include "model/PaneText.h"

#include <QLocale>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool isDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The entry's own details; a link is shown as what it points to, a dangling link as itself.
bool statEntry(int directoryFd, const char* name, struct stat& info)
{
    return fstatat(directoryFd, name, &info, 0) == 0
           || fstatat(directoryFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
}

PaneRow rowOf(const char* name, const struct stat& info)
{
    PaneRow row;
    row.name = name;
    const bool directory = S_ISDIR(info.st_mode);
    row.sizeText = directory ? std::string() : sizeText(info.st_size, sizeGroupSeparator());
    row.modifiedText = localDateText(info.st_mtime);
    row.typeText = directory ? kDirectoryType : kFileType;
    row.size = directory ? -1 : static_cast<std::int64_t>(info.st_size);
    row.modified = localDateKey(info.st_mtime);
    return row;
}

} // namespace

std::string sizeGroupSeparator()
{
    static const std::string separator = QLocale().groupSeparator().toStdString();
    return separator;
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

std::optional<std::vector<PaneRow>> listLocalEntries(const std::string& directory)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
    if (!dir)
        return std::nullopt;
    const int fd = dirfd(dir.get());
    std::vector<PaneRow> rows;
    bool anyEntry = false;
    for (;;) {
        errno = 0;   // readdir tells the end from a failure only by errno
        const dirent* entry = readdir(dir.get());
        if (!entry)
            break;
        anyEntry = true;
        struct stat info {};
        if (!isDotEntry(entry->d_name) && statEntry(fd, entry->d_name, info))
            rows.push_back(rowOf(entry->d_name, info));
    }
    if (errno != 0 || !anyEntry)
        return std::nullopt;
    return rows;
}

bool deleteLocalFile(const std::string& path)
{
    return unlink(path.c_str()) == 0;
}

bool removeLocalDirectory(const std::string& path)
{
    std::string entry = path;
    while (entry.size() > 1 && entry.back() == kPathDelimiter)
        entry.pop_back();
    struct stat info {};
    if (lstat(entry.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        return unlink(entry.c_str()) == 0;
    return rmdir(path.c_str()) == 0;
}

bool makeLocalDirectory(const std::string& path)
{
    return mkdir(path.c_str(), 0777) == 0;
}

bool renameLocalEntry(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without no-replace renames: look first.
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0)
        return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}
