// The server's lines against what they mean. A report applied to the member list leaves the
// list as the plain model says (a listed, added or changed member is the member its text
// describes, a deleted one is gone, any other code changes nothing) and tells the rows to
// rebuild, or to rewrite the row of a member that was listed before, or to wait for the end of
// the list. Only "SRE" and "SRC" control the connection, "SRE" with the fields of its payload
// (its delay, port, host, login and password, blanks around them dropped).
// And any line cut into code, subject and payload joins back into a line that cuts the same.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "MemberModel.hpp"
#include "Require.hpp"
#include "members/MemberText.hpp"
#include "protocol/ServerLine.hpp"
#include "protocol/ServerReports.hpp"

namespace {

bool operator==(const ServerLine& a, const ServerLine& b) {
    return a.code == b.code && a.subject == b.subject && a.payload == b.payload;
}

ModelMember FromText(const std::string& text) {
    const TkvMemberText m = ParseMemberText(text);
    return {m.Login, m.Presence1, m.Presence2, m.ProtocolsText, m.Password, m.UserBotsText, m.Online};
}

// A member text about one of a few logins, or any text.
std::string SomePayload(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return input.ConsumeRandomLengthString(24);
    }
    return input.ConsumeRandomLengthString(4) + "," + input.ConsumeRandomLengthString(4) + "," +
           SomeLogin(input) + "=" + input.ConsumeRandomLengthString(4) + "," +
           input.ConsumeRandomLengthString(8) + ";" + input.ConsumeRandomLengthString(8) + ";";
}

RowsEffect Expected(const std::string& code, const std::string& subject, const std::string& payload,
                    MemberModel& model) {
    const RowsEffect rebuild{RowsChange::RebuildAll, {}};
    if (code == "ARLM") {
        model.AddOrUpdate(FromText(payload));
        return {};
    }
    if (code == "ARLC") {
        return rebuild;
    }
    if (code == "ARA" || code == "ARM" || code == "ARI" || code == "ARO" || code == "ARQ") {
        const ModelMember member = FromText(payload);
        const bool listed = model.IndexOf(member.login) >= 0;
        model.AddOrUpdate(member);
        return listed && code != "ARA" ? RowsEffect{RowsChange::RewriteOne, member.login} : rebuild;
    }
    if (code == "ARD") {
        model.Delete(subject);
        return rebuild;
    }
    return {};
}

// Five fields with blanks around them give those fields back; a host "0" is the current one.
void CheckReconnectPayload(FuzzedDataProvider& input) {
    const ServerReconnectOrder order{input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>(),
                                     input.PickValueInArray({"", "host.test", "10.0.0.1"}), SomeLogin(input),
                                     SomeLogin(input)};
    const std::string host = order.host.empty() && input.ConsumeBool() ? "0" : order.host;
    const std::string payload = " " + std::to_string(order.delaySeconds) + " ," + std::to_string(order.port) +
                                ",\t" + host + " , " + order.login + "," + order.password + " ";
    KRV_REQUIRE(ReadServerReconnect(payload) == order);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    TkvCLDataCollection members;
    ServerReports reports(members);
    MemberModel model;
    CheckReconnectPayload(input);
    while (input.remaining_bytes() > 0) {
        // Codes of the protocol and near misses (another letter case, one letter more or less).
        const std::string code =
            input.PickValueInArray({"ARLS", "ARLM", "ARLC", "ARA", "ARM", "ARD", "ARI", "ARO", "ARQ", "ARE",
                                    "ARK", "SRE", "SRC", "arlm", "ARL", "ARDX", "SR"});
        const bool withSubject = input.ConsumeBool();
        const std::string subject = SomeLogin(input);
        const std::string payload = SomePayload(input);
        const std::string line = withSubject ? JoinedLine(code, subject, payload) : JoinedLine(code, payload);

        const ServerLine cut = CutServerLine(line);
        KRV_REQUIRE(cut == (ServerLine{code, withSubject ? subject : "", payload}));
        const RowsEffect expected = Expected(code, cut.subject, payload, model);
        KRV_REQUIRE(reports.ApplyReport(line) == expected);
        CheckSame(members, model, SomeLogin(input));

        const ConnectionEffect control = ServerReports::ConnectionControlOf(line);
        if (code == "SRE") {
            KRV_REQUIRE(control.order == ConnectionOrder::Reconnect &&
                        control.reconnect == ReadServerReconnect(payload));
        } else {
            KRV_REQUIRE(control.order == (code == "SRC" ? ConnectionOrder::Close : ConnectionOrder::None));
        }
    }

    // The input as one line of any shape.
    const std::string any(reinterpret_cast<const char*>(data), size);
    const ServerLine cut = CutServerLine(any);
    KRV_REQUIRE(CutServerLine(JoinedLine(cut.code, cut.subject, cut.payload)) == cut);
    return 0;
}
