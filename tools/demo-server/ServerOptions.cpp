#include "ServerOptions.hpp"

#include <QCommandLineParser>
#include <QHostAddress>

namespace {

const QCommandLineOption kListen(QStringLiteral("listen"), "Address to listen on (default 127.0.0.1).",
                                 "address");
const QCommandLineOption kPort(QStringLiteral("port"), "TCP port; 0 picks a free one (default 6671).", "N");
const QCommandLineOption kMembers(QStringLiteral("members"), "Number of sample accounts (default 200).", "N");
const QCommandLineOption kSeed(QStringLiteral("seed"),
                               "Seed of the sample accounts and the churn (default 1).", "N");
const QCommandLineOption kAdmin(QStringLiteral("admin"), "The administrator's account (default admin:admin).",
                                "LOGIN:PASSWORD");
const QCommandLineOption kGrant(QStringLiteral("grant"),
                                "Protocols granted to the administrator's account (default administrator).",
                                "PROTOCOLS");
const QCommandLineOption kChurn(QStringLiteral("churn"),
                                "Sample accounts going online or offline per second (default 0).", "N");
const QCommandLineOption kVerbose(QStringLiteral("verbose"), "Log every line in and out on stderr.");
const QCommandLineOption kSplitWrites(QStringLiteral("split-writes"),
                                      "Write each report line in random pieces with short pauses.");
const QCommandLineOption kDropAfter(QStringLiteral("drop-after"),
                                    "Close each connection after N report lines.", "N");
const QCommandLineOption kBurstRequests(
    QStringLiteral("burst-requests"),
    "Answer an administrator's \"BURST_<code>:<count>\" with count reports of that code (ARI, ARO, ARM, ARA, "
    "ARD), sent to that administrator alone; for benchmarks.");
const QCommandLineOption kRefuse(
    QStringLiteral("refuse"),
    "Refuse (\"ARE\") every request about a login holding TEXT; for tests of refusals.", "TEXT");
const QCommandLineOption kDelayRequests(
    QStringLiteral("delay-requests"),
    "Carry out each request, and so send its report, MS milliseconds after it "
    "came; for tests of requests awaiting their report.",
    "MS");
const QCommandLineOption kTlsCert(QStringLiteral("tls-cert"),
                                  "Serve TLS only, with this certificate (PEM; the chain may follow it).",
                                  "FILE");
const QCommandLineOption kTlsKey(QStringLiteral("tls-key"),
                                 "The private key of --tls-cert (PEM, unencrypted).", "FILE");

// Reads a whole number in [low, high] or reports the option as bad.
bool ReadNumber(const QCommandLineParser& parser, const QCommandLineOption& option, long long low,
                long long high, long long& value, QString& error) {
    if (!parser.isSet(option)) {
        return true;
    }
    bool ok = false;
    const long long read = parser.value(option).toLongLong(&ok);
    if (!ok || read < low || read > high) {
        error = QStringLiteral("--%1 wants a whole number from %2 to %3")
                    .arg(option.names().first())
                    .arg(low)
                    .arg(high);
        return false;
    }
    value = read;
    return true;
}

bool ReadNumbers(const QCommandLineParser& parser, ServerOptions& options, QString& error) {
    long long port = options.port;
    long long members = options.members;
    long long seed = options.seed;
    long long churn = options.churnPerSecond;
    long long dropAfter = options.dropAfterLines;
    long long delay = options.delayRequestsMs;
    if (!ReadNumber(parser, kPort, 0, 65535, port, error) ||
        !ReadNumber(parser, kMembers, 0, 1000000, members, error) ||
        !ReadNumber(parser, kSeed, 0, 0xFFFFFFFFll, seed, error) ||
        !ReadNumber(parser, kChurn, 0, 1000, churn, error) ||
        !ReadNumber(parser, kDropAfter, 0, 1000000000, dropAfter, error) ||
        !ReadNumber(parser, kDelayRequests, 0, 3600000, delay, error)) {
        return false;
    }
    options.port = static_cast<uint16_t>(port);
    options.members = static_cast<int>(members);
    options.seed = static_cast<uint32_t>(seed);
    options.churnPerSecond = static_cast<int>(churn);
    options.dropAfterLines = static_cast<int>(dropAfter);
    options.delayRequestsMs = static_cast<int>(delay);
    return true;
}

bool ReadAdmin(const QCommandLineParser& parser, ServerOptions& options, QString& error) {
    if (!parser.isSet(kAdmin)) {
        return true;
    }
    const QString value = parser.value(kAdmin);
    const qsizetype colon = value.indexOf(':');
    const QString login = value.left(colon);
    // The login travels inside every member text, so it must not hold that text's separators.
    if (colon <= 0 || login.contains(',') || login.contains('=') || value.mid(colon + 1).contains(',')) {
        error = QStringLiteral(
            "--admin wants LOGIN:PASSWORD (no \",\" or \"=\" in the login, no \",\" in the password)");
        return false;
    }
    options.adminLogin = login;
    options.adminPassword = value.mid(colon + 1);
    return true;
}

bool ReadListenAddress(const QCommandLineParser& parser, ServerOptions& options, QString& error) {
    if (!parser.isSet(kListen)) {
        return true;
    }
    if (QHostAddress(parser.value(kListen)).isNull()) {
        error = QStringLiteral("--listen wants an IP address");
        return false;
    }
    options.listenAddress = parser.value(kListen);
    return true;
}

}  // namespace

OptionsResult ParseServerOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Demo administration server for krvClientA: sample accounts, the login dialogue, member reports "
        "and every administration request, on one thread.");
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions({kListen, kPort, kMembers, kSeed, kAdmin, kGrant, kChurn, kVerbose, kSplitWrites,
                       kDropAfter, kBurstRequests, kRefuse, kDelayRequests, kTlsCert, kTlsKey});

    OptionsResult result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    ServerOptions options;
    if (!ReadNumbers(parser, options, result.error) || !ReadAdmin(parser, options, result.error) ||
        !ReadListenAddress(parser, options, result.error)) {
        return result;
    }
    if (parser.isSet(kGrant)) {
        // The protocols travel inside every member text, which ends them at ";".
        if (parser.value(kGrant).contains(';')) {
            result.error = QStringLiteral("--grant must not hold \";\"");
            return result;
        }
        options.adminProtocols = parser.value(kGrant);
    }
    if (parser.isSet(kTlsCert) != parser.isSet(kTlsKey)) {
        result.error = QStringLiteral("--tls-cert and --tls-key go together");
        return result;
    }
    options.tlsCertificate = parser.value(kTlsCert);
    options.tlsKey = parser.value(kTlsKey);
    options.verbose = parser.isSet(kVerbose);
    options.splitWrites = parser.isSet(kSplitWrites);
    options.burstRequests = parser.isSet(kBurstRequests);
    options.refuseLoginsWith = parser.value(kRefuse);
    result.options = options;
    return result;
}
