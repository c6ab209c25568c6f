#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "MemberStore.hpp"
#include "RequestLine.hpp"
#include "SessionDirectory.hpp"

// Carries out an administrator's requests on the accounts and the connections and reports the
// results: changes go to every administrator, refusals ("ARE") to the requester alone.
class RequestHandler {
public:
    RequestHandler(MemberStore& store, SessionDirectory& sessions) : store_(store), sessions_(sessions) {}

    // Requests about a login holding text are refused with "ARE" and not carried out.
    void RefuseLoginsWith(std::string text) { refuseLoginsWith_ = std::move(text); }

    // False for a line that is no request; it is ignored.
    bool Handle(SessionId requester, std::string_view line);

private:
    static bool IsRequestCode(std::string_view code);
    void AddAccount(SessionId requester, const RequestLine& request);
    void EditAccount(SessionId requester, const RequestLine& request);
    void DeleteAccount(SessionId requester, const RequestLine& request);
    void Expel(SessionId requester, const RequestLine& request);
    void SendToTargets(SessionId requester, const RequestLine& request, bool includeRequester,
                       const std::string& line);

    void Refuse(SessionId requester, const std::string& login, const std::string& reason);
    std::vector<SessionId> Targets(SessionId requester, const std::string& login,
                                   bool includeRequester) const;
    void TakeSimulatedOffline(const std::string& login);

    MemberStore& store_;
    SessionDirectory& sessions_;
    std::string refuseLoginsWith_;
};
