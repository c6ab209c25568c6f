#include "admin/ConnectionTarget.hpp"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "session/ReachPolicy.hpp"
#include "settings/IniStore.hpp"
#include "settings/PasswordPlace.hpp"
#include "settings/SavedServers.hpp"
#include "settings/SettingsLocation.hpp"

namespace {

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// Restores the terminal's echo on every way out.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (tcgetattr(fd_, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (active_) {
            tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

}  // namespace

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    password = FirstLine(text.str());
    return true;
}

std::string WindowSettingsPath(const std::string& adminProgramPath, const std::string& configHome) {
    const size_t slash = adminProgramPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : adminProgramPath.substr(0, slash);
    std::string client = folder + "/krvClientA";
    if (!PathExists(client) && PathExists(folder + "/../krvClientA")) {
        client = folder + "/../krvClientA";
    }
    return ChooseSettingsPath(client, configHome + "/krvClientA");
}

bool ResolveConnectionTarget(const ConnectionOptions& options, const char* environmentPassword,
                             ConnectionTarget& target, std::string& error,
                             const std::string& windowSettingsPath) {
    target = ConnectionTarget{};
    std::optional<std::string> storedPassword;
    if (options.server) {
        const std::string path = options.settingsFile.value_or(windowSettingsPath);
        IniStore ini(path);
        if (!ini.Load()) {
            error = "cannot read the settings file " + path + ": " + ini.LastError();
            return false;
        }
        const std::optional<SavedServer> server = FindSavedServer(ini, *options.server);
        if (!server) {
            error = "no server named " + *options.server + " is saved in " + path;
            return false;
        }
        ApplyServerToSettings(*server, target.schedule);
        target.serverName = server->name;
        target.host = server->host;
        target.port = server->port;
        target.login = server->login;
        target.tls = TlsPolicyOf(ReachOf(*server));
        target.ssh = SshPolicyOf(ReachOf(*server));
        if (server->rememberPassword && !server->password.empty()) {
            storedPassword = server->password;
        }
    } else if (options.settingsFile) {
        IniStore ini(*options.settingsFile);
        if (!ini.Load()) {
            error = "cannot read the settings file " + *options.settingsFile + ": " + ini.LastError();
            return false;
        }
        target.schedule = ReadStoredSettings(ini);
        target.host = target.schedule.host;
        target.port = target.schedule.port;
        target.login = target.schedule.login;
        // A password the window asks at every connect is asked here too.
        if (ReadPasswordPolicy(ini).remember) {
            storedPassword = target.schedule.password;
        }
    }
    target.host = options.host.value_or(target.host);
    target.port = options.port.value_or(target.port);
    target.login = options.login.value_or(target.login);
    target.tls.on = target.tls.on || options.tls || options.tlsCaFile || options.tlsFingerprint;
    target.tls.caFile = options.tlsCaFile.value_or(target.tls.caFile);
    target.ssh.target = options.ssh.value_or(target.ssh.target);
    target.ssh.command = options.sshCommand.value_or(target.ssh.command);
    if (options.tlsFingerprint) {
        target.tls.pins[EndpointKey(target.host, target.port)] = *options.tlsFingerprint;
    }
    if (options.passwordFile) {
        std::string password;
        if (!ReadPasswordFile(*options.passwordFile, password, error)) {
            return false;
        }
        target.password = password;
        target.passwordSource = ConnectionTarget::PasswordSource::PasswordFile;
    } else if (environmentPassword != nullptr) {
        target.password = std::string(environmentPassword);
        target.passwordSource = ConnectionTarget::PasswordSource::Environment;
    } else {
        target.password = storedPassword;
        if (storedPassword) {
            target.passwordSource = ConnectionTarget::PasswordSource::SettingsFile;
        }
    }
    if (target.host.empty() || target.port <= 0 || target.login.empty()) {
        error = "host, port and login are needed: give --host, --port and --login, or --settings";
        return false;
    }
    return true;
}

bool AskPasswordOnTerminal(const std::string& prompt, std::string& password) {
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool read = false;
    {
        EchoOff quiet(fd);
        if (write(fd, prompt.data(), prompt.size()) >= 0) {
            std::string line;
            char c = 0;
            while (::read(fd, &c, 1) == 1 && c != '\n') {
                line.push_back(c);
            }
            password = FirstLine(line);
            read = true;
        }
    }
    [[maybe_unused]] const ssize_t ignored = write(fd, "\n", 1);
    close(fd);
    return read;
}
