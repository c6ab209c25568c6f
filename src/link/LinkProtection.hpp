#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// How the socket protects the link, and what it tells of a certificate it would not trust.
// A TLS link never falls back to plain text: every failure of its handshake ends the attempt.
struct TlsPolicy {
    bool on = false;
    // Authorities trusted beside the system's, in PEM; empty: the system's alone.
    std::string caFile;
    // "host:port" to the certificate's SHA-256 fingerprint (NormalFingerprint's form). A pinned
    // endpoint must show exactly that certificate, whether or not an authority vouches for it.
    std::map<std::string, std::string> pins;

    bool operator==(const TlsPolicy&) const = default;
};

// An SSH tunnel the socket connects through: the system's ssh forwards a free loopback port to
// the server's host and port, from the SSH host.
struct SshPolicy {
    // "[USER@]HOST[:PORT]"; empty: no tunnel.
    std::string target;
    // The ssh program and its extra options, split at blanks ("ssh -F FILE"); empty: "ssh".
    std::string command;
    // Nothing may be asked (no terminal, no desktop): ssh fails rather than wait for an answer.
    bool batchMode = false;
    // The program ssh runs to ask (a host key to confirm, a passphrase); empty: ssh's own way.
    std::string askpassProgram;

    bool operator==(const SshPolicy&) const = default;
};

// What the administrator needs to judge a certificate the system does not vouch for.
struct PeerCertificate {
    std::string host;  // as entered, and as the name is checked
    int32_t port = 0;
    std::string subject;
    std::string issuer;
    std::string validFrom;
    std::string validUntil;
    std::string sha256;   // NormalFingerprint's form
    std::string reasons;  // why it did not verify, one per line
};

// Error numbers beside the Windows Sockets ones, for attempts the link must not repeat on its
// own: trying again would meet the same certificate, or the same missing TLS.
namespace LinkRefusal {
inline constexpr int32_t CertificateUnverified = 20001;
inline constexpr int32_t CertificateChanged = 20002;
inline constexpr int32_t TlsFailed = 20003;
inline constexpr int32_t TunnelFailed = 20004;
}  // namespace LinkRefusal

constexpr bool IsLinkRefusal(int32_t code) {
    return code >= LinkRefusal::CertificateUnverified && code <= LinkRefusal::TunnelFailed;
}

// "host:port", the key of a pin.
std::string EndpointKey(std::string_view host, int32_t port);

// 64 hexadecimal digits in capitals, from a fingerprint written with or without colons (or
// spaces) in any letter case, an optional "SHA256 Fingerprint=" in front; empty when it is none.
std::string NormalFingerprint(std::string_view text);
// "AB:CD:…", as openssl's x509 command prints it.
std::string ColonFingerprint(std::string_view normal);

// "host:port=FINGERPRINT" entries separated by commas, as a settings file keeps pins; entries
// that do not read are left out.
std::map<std::string, std::string> ParsePins(std::string_view text);
std::string PinsText(const std::map<std::string, std::string>& pins);
