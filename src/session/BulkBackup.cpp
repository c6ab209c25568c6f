#include "session/BulkBackup.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "util/Csv.hpp"

namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t wrote = ::write(fd, text.data(), text.size());
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<size_t>(wrote));
    }
    return true;
}

std::string Stamp(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

std::string BackupFolderFor(std::string_view xdgDataHome, std::string_view home) {
    fs::path base;
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
        base = fs::path(xdgDataHome);
    } else {
        base = fs::path(home.empty() ? std::string_view(".") : home) / ".local" / "share";
    }
    return (base / "krvClientA" / "backups").string();
}

std::string DefaultBackupFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    return BackupFolderFor(xdg != nullptr ? xdg : "", home != nullptr ? home : "");
}

std::string AccountsBackupCsv(const TkvCLDataCollection& members, const std::vector<std::string>& logins) {
    std::string text;
    AppendCsvRow(text, {"login", "password", "protocols", "user_bots"});
    for (const std::string& login : logins) {
        const TkvCLData* account = members.RecordOf(login);
        if (account == nullptr) {
            continue;
        }
        AppendCsvRow(text, {account->Login(), account->PasswordView(), account->GetProtocolsText(),
                            account->GetUserBotsText()});
    }
    return text;
}

BackupWritten WriteBackupFile(const std::string& folder, std::string_view what, std::time_t when,
                              std::string_view text) {
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure) {
        return {{}, "cannot make " + folder + ": " + failure.message()};
    }
    // The folder holds passwords: nobody else may list or read it, whoever made it.
    ::chmod(folder.c_str(), S_IRWXU);
    const std::string stem = (fs::path(folder) / (std::string(what) + "-" + Stamp(when))).string();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        std::string path = stem;
        if (attempt > 1) {
            path += '-';
            path += std::to_string(attempt);
        }
        path += ".csv";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            return {{}, "cannot write " + path + ": " + std::strerror(errno)};
        }
        const bool wrote = WriteAll(fd, text) && ::fsync(fd) == 0;
        const int writeError = errno;
        ::close(fd);
        if (!wrote) {
            ::unlink(path.c_str());
            return {{}, "cannot write " + path + ": " + std::strerror(writeError)};
        }
        return {path, {}};
    }
    return {{}, "cannot find a free name for " + stem + ".csv"};
}

std::string RestoreCommand(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return "krvadmin import --update " + quoted + "'";
}
