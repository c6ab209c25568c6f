#include "settings/ServerReach.hpp"

#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kSshPrefix = "ssh ";

}  // namespace

ReachKind KindOf(const ServerReach& reach) {
    const std::string way = Trim(reach.way);
    if (SameTextAscii(way, "tls")) {
        return ReachKind::Tls;
    }
    if (way.size() > kSshPrefix.size() && SameTextAscii(way.substr(0, kSshPrefix.size()), kSshPrefix)) {
        return ReachKind::Ssh;
    }
    return ReachKind::Plain;
}

std::string SshTargetOf(const ServerReach& reach) {
    if (KindOf(reach) != ReachKind::Ssh) {
        return {};
    }
    return Trim(Trim(reach.way).substr(kSshPrefix.size()));
}

std::string SshWay(std::string_view target) {
    return std::string(kSshPrefix) + Trim(target);
}

ServerReach ReadServerReach(const IniStore& ini, std::string_view section) {
    ServerReach reach;
    reach.way = ini.ReadString(section, "Reach", "");
    reach.tlsCaFile = ini.ReadString(section, "TlsCaFile", "");
    reach.tlsPins = ini.ReadString(section, "TlsPins", "");
    reach.sshCommand = ini.ReadString(section, "SshCommand", "");
    return reach;
}

bool WriteServerReach(IniStore& ini, std::string_view section, const ServerReach& reach) {
    const ServerReach before = ReadServerReach(ini, section);
    auto write = [&](std::string_view key, const std::string& value, const std::string& old) {
        return (value.empty() && old.empty()) || ini.WriteString(section, key, value);
    };
    return write("Reach", reach.way, before.way) && write("TlsCaFile", reach.tlsCaFile, before.tlsCaFile) &&
           write("TlsPins", reach.tlsPins, before.tlsPins) &&
           write("SshCommand", reach.sshCommand, before.sshCommand);
}

std::string ReachDescription(const ServerReach& reach) {
    switch (KindOf(reach)) {
        case ReachKind::Tls:
            return "TLS";
        case ReachKind::Ssh:
            return "SSH through " + SshTargetOf(reach);
        case ReachKind::Plain:
            break;
    }
    return {};
}
