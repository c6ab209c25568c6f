#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "admin/AdminArguments.hpp"
#include "admin/AdminCommands.hpp"
#include "admin/AdminSession.hpp"
#include "admin/ConnectionTarget.hpp"
#include "admin/ExitStatus.hpp"
#include "admin/JournalOutput.hpp"

namespace {

void StopOnSignal(int) {
    RequestAdminStop();
}

}  // namespace

int main(int argc, char* argv[]) {
    // The arguments are taken as bytes, before Qt would decode them.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedArguments parsed = ParseAdminArguments(arguments);
    if (parsed.help) {
        std::fputs(parsed.helpText.c_str(), stdout);
        return ExitStatus::Done;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "krvadmin: %s\nTry 'krvadmin --help'.\n", parsed.error.c_str());
        return ExitStatus::Usage;
    }
    if (parsed.version) {
        std::fputs(ProgramVersion().c_str(), stdout);
        return ExitStatus::Done;
    }
    if (parsed.command.command == AdminCommand::Journal) {
        return RunJournalCommand(parsed.command);
    }
    ConnectionTarget target;
    std::string error;
    if (!ResolveConnectionTarget(parsed.connection, std::getenv("KRVADMIN_PASSWORD"), target, error)) {
        std::fprintf(stderr, "krvadmin: %s\n", error.c_str());
        return ExitStatus::Usage;
    }
    if (!target.password) {
        std::string password;
        if (!AskPasswordOnTerminal("Password for " + target.login + ": ", password)) {
            std::fputs(
                "krvadmin: no password: give --password-file or KRVADMIN_PASSWORD, or run on a terminal\n",
                stderr);
            return ExitStatus::Usage;
        }
        target.password = password;
    }

    QCoreApplication application(argc, argv);
    if (parsed.command.command == AdminCommand::Watch) {
        std::signal(SIGINT, StopOnSignal);
        std::signal(SIGTERM, StopOnSignal);
    }
    AdminSession session(std::move(target), std::chrono::seconds(parsed.connection.timeoutSeconds));
    int status = session.Open();
    if (status == ExitStatus::Done) {
        status = RunAdminCommand(session, parsed.command);
    }
    session.Close();
    return status;
}
