#include "protocol/ServerReconnectOrder.hpp"

#include "util/untCalc1.hpp"

namespace {
constexpr int kReconnectFields = 5;
}  // namespace

ServerReconnectOrder ReadServerReconnect(std::string_view payload) {
    std::string fields[kReconnectFields];
    std::string rest(payload);
    for (std::string& field : fields) {
        SplitFirst(rest, ",", true, field, rest);
    }
    ServerReconnectOrder order;
    order.delaySeconds = StrToIntDef(fields[0], 0);
    order.port = StrToIntDef(fields[1], 0);
    order.host = fields[2] == "0" ? std::string() : fields[2];
    order.login = fields[3];
    order.password = fields[4];
    return order;
}
