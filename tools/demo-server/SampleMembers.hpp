#pragma once

#include <cstdint>
#include <vector>

#include "MemberStore.hpp"

// Sample accounts, all offline, the same for the same count and seed on every run, so that a test
// can compute what the server holds without asking it.
std::vector<Account> GenerateSampleMembers(int count, uint32_t seed);
