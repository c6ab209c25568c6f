#include "session/ReachPolicy.hpp"

TlsPolicy TlsPolicyOf(const ServerReach& reach) {
    TlsPolicy policy;
    policy.on = KindOf(reach) == ReachKind::Tls;
    policy.caFile = reach.tlsCaFile;
    policy.pins = ParsePins(reach.tlsPins);
    return policy;
}

SshPolicy SshPolicyOf(const ServerReach& reach) {
    SshPolicy policy;
    policy.target = SshTargetOf(reach);
    policy.command = reach.sshCommand;
    return policy;
}
