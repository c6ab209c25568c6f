#pragma once

#include "link/LinkProtection.hpp"
#include "settings/ServerReach.hpp"

// The socket's TLS policy for a server reached as the settings keep it: off unless the way is
// TLS, with the file's authorities and pins.
TlsPolicy TlsPolicyOf(const ServerReach& reach);
// No tunnel unless the way is SSH; how ssh may ask is the program's to add.
SshPolicy SshPolicyOf(const ServerReach& reach);
