#pragma once

#include "admin/AdminArguments.hpp"
#include "admin/AdminSession.hpp"

// Runs the command on an open session (logged in, member list complete) and returns the exit
// status. Results go to standard output, messages to standard error.
int RunAdminCommand(AdminSession& session, const CommandOptions& options);

// Asks the command to end at the next chance (watch ends on Ctrl+C this way); safe to call from
// a signal handler.
void RequestAdminStop();
