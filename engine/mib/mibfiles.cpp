// SPDX-License-Identifier: MIT
#include "engine/mib/mibfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

bool passedOver(const std::string &name)
{
    return name.empty() || name.front() == '.' || name.front() == '#' || name.back() == '#' || name.back() == '~';
}

std::string kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISDIR(mode))
        return "a folder";
    return "no regular file";
}

// Looks at a file whose lstat gave `link`: stat follows a link without opening anything.
MibFile examine(const std::string &path, const struct stat &link)
{
    MibFile file;
    file.path = path;
    struct stat st = link;
    if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        file.problem = S_ISLNK(link.st_mode) && err == ENOENT
            ? "Cannot read the file: the symbolic link leads nowhere"
            : "Cannot read the file: " + std::string(std::strerror(err));
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        file.problem = "Cannot read the file: it is " + kindOf(st.st_mode) + ", not a regular file";
        return file;
    }
    // The name goes to the checker one a line.
    if (path.find('\n') != std::string::npos) {
        file.problem = "Cannot read the file: its name holds a line break";
        return file;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
        file.problem = "Cannot read the file: " + std::string(std::strerror(errno));
        return file;
    }
    file.size = st.st_size;
    file.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return file;
}

} // namespace

std::vector<MibFile> listMibFolders(const std::vector<std::string> &folders)
{
    std::vector<MibFile> files;
    for (const std::string &folder : folders) {
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
        if (!dir)
            continue;
        std::vector<std::string> names;
        while (const dirent *entry = ::readdir(dir.get())) {
            if (!passedOver(entry->d_name))
                names.emplace_back(entry->d_name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) {
            const std::string path = folder + "/" + name;
            struct stat link {};
            if (::lstat(path.c_str(), &link) != 0)
                continue; // gone since the folder was read
            // Net-SNMP passes over what opendir() opens: folders and links to them.
            struct stat st {};
            if (S_ISDIR(link.st_mode) || (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
                continue;
            files.push_back(examine(path, link));
        }
    }
    return files;
}

MibFile examineMibFile(const std::string &path)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        MibFile file;
        file.path = path;
        file.problem = "Cannot read the file: " + std::string(std::strerror(errno));
        return file;
    }
    return examine(path, link);
}
