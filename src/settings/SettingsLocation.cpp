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

// Where the package manager puts programs; a marker there came from elsewhere and is ignored.
bool InSystemFolder(std::string_view programPath) {
    const std::string path = fs::path(programPath).lexically_normal().string();
    for (const std::string_view folder : {"/usr/", "/bin/", "/sbin/"}) {
        if (path.starts_with(folder)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CanWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::string PortableMarkerFor(std::string_view programPath) {
    return fs::path(programPath).replace_extension(".portable").string();
}

std::string ChooseSettingsPath(std::string_view programPath, std::string_view userConfigFolder,
                               const WritableTest& canWrite, const ExistsTest& exists) {
    const std::string user = (fs::path(userConfigFolder) / kUserSettingsFileName).string();
    if (InSystemFolder(programPath) || !exists(PortableMarkerFor(programPath))) {
        return user;
    }
    const std::string beside = SettingsPathFor(programPath);
    const bool folderWritable = canWrite(FolderOf(beside));
    const bool usable = exists(beside) ? folderWritable && canWrite(beside) : folderWritable;
    return usable ? beside : user;
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
