#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct ServerOptions {
    QString listenAddress = QStringLiteral("127.0.0.1");
    uint16_t port = 6671;
    int members = 200;
    uint32_t seed = 1;
    QString adminLogin = QStringLiteral("admin");
    QString adminPassword = QStringLiteral("admin");
    QString adminProtocols = QStringLiteral("administrator");
    int churnPerSecond = 0;
    bool verbose = false;
    bool splitWrites = false;
    int dropAfterLines = 0;  // 0: never
    bool burstRequests = false;
    // Requests about a login holding this text are answered "ARE" and not carried out; empty: none.
    QString refuseLoginsWith;
    int delayRequestsMs = 0;  // each request is carried out this long after it came
    // Both set: every connection speaks TLS with this certificate and key (PEM files).
    QString tlsCertificate;
    QString tlsKey;
};

// Reads the command line. On --help, or on a bad option (with the reason in error), returns
// nothing; helpText then holds what to print.
struct OptionsResult {
    std::optional<ServerOptions> options;
    QString error;
    QString helpText;
};

OptionsResult ParseServerOptions(const QStringList& arguments);
