#include "journal/JournalLocation.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// Others lose every right; the owner's are left as they are.
void KeepToOwner(const std::string& path, mode_t ownerOnly) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        ::chmod(path.c_str(), ownerOnly);
    }
}

}  // namespace

std::string JournalPathFor(std::string_view xdgDataHome, std::string_view home) {
    fs::path base;
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
        base = fs::path(xdgDataHome);
    } else {
        base = fs::path(home.empty() ? std::string_view(".") : home) / ".local" / "share";
    }
    return (base / "krvClientA" / kJournalFileName).string();
}

std::string DefaultJournalPath() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return JournalPathFor(xdg != nullptr ? xdg : "", home != nullptr ? home : "");
}

std::string PrepareJournalFile(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !fs::is_directory(folder, error)) {
        // The parents are ordinary folders (~/.local/share); only the journal's own is private.
        if (folder.has_parent_path()) {
            fs::create_directories(folder.parent_path(), error);
        }
        if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            return "cannot create the folder " + folder.string() + ": " + std::strerror(errno);
        }
        if (!fs::is_directory(folder, error)) {
            return "cannot create the folder " + folder.string() + ": something else has its name";
        }
    }
    if (!folder.empty()) {
        KeepToOwner(folder.string(), S_IRWXU);
    }
    // Made here rather than by SQLite, whose files take the process's umask; the write-ahead log
    // and its index take this file's rights.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        return "cannot open " + path + ": " + std::strerror(errno);
    }
    ::close(fd);
    KeepToOwner(path, S_IRUSR | S_IWUSR);
    return {};
}
