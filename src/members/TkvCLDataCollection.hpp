#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "members/TkvCLData.hpp"

// The in-memory copy of the server's member list. Records keep the order of their first
// addition; logins are unique under ASCII case-insensitive comparison. Lookups go through an
// index on the folded login, so a million members load without quadratic cost.
class TkvCLDataCollection {
public:
    void AddOrUpdate(std::string_view login, std::string_view presence1, std::string_view presence2,
                     std::string_view protocolsText, std::string_view password, std::string_view userBotsText,
                     bool online);
    void Delete(std::string_view login);
    void Clear();
    int32_t Count() const { return static_cast<int32_t>(records_.size()); }
    bool Exists(std::string_view login) const;
    int32_t IndexOf(std::string_view login) const;
    // The record at a position, or nullptr outside 0 to Count() - 1; the collection keeps it.
    const TkvCLData* Items(int32_t position) const;
    bool GetData(std::string_view login, std::string& presence1, std::string& presence2,
                 std::string& protocolsText, std::string& password, std::string& userBotsText,
                 bool& online) const;

private:
    const TkvCLData* Find(std::string_view login) const;

    std::vector<std::unique_ptr<TkvCLData>> records_;
    std::unordered_map<std::string, TkvCLData*> byFoldedLogin_;
};
