#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "MemberStore.hpp"

// Reports made on demand, so that a benchmark can time a client on as many reports of one kind
// as it wants without sending as many requests. Each report is true to the store: the change it
// announces is made first. Accounts with a real connection and administrators are left alone.
//
//   "ARI": the first count offline accounts go online     "ARO": the first count online ones go offline
//   "ARM": the first count accounts flip their presence   "ARA": count new accounts are added
//   "ARD": the last count accounts are removed
//
// Fewer lines come back when fewer accounts qualify; none for any other code.
std::vector<std::string> MakeReportBurst(MemberStore& store, std::string_view code, int count);
