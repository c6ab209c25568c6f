#include "settings/SettingsLocation.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "settings/StoredSettings.hpp"

namespace {

namespace fs = std::filesystem;

std::string FolderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

}  // namespace

bool CanWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::string ChooseSettingsPath(std::string_view programPath, std::string_view userConfigFolder,
                               const WritableTest& canWrite) {
    const std::string beside = SettingsPathFor(programPath);
    const bool folderWritable = canWrite(FolderOf(beside));
    const bool usable = Exists(beside) ? folderWritable && canWrite(beside) : folderWritable;
    if (usable) {
        return beside;
    }
    return (fs::path(userConfigFolder) / kUserSettingsFileName).string();
}

bool PrepareSettingsFolder(const std::string& settingsPath) {
    const fs::path folder = FolderOf(settingsPath);
    std::error_code error;
    if (fs::is_directory(folder, error)) {
        return true;
    }
    // The parents are ordinary folders (~/.config); only the settings' own one is kept private.
    if (folder.has_parent_path()) {
        fs::create_directories(folder.parent_path(), error);
    }
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
        return false;
    }
    return fs::is_directory(folder, error);
}
