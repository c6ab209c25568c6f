#include "RequestHandler.hpp"

#include <algorithm>
#include <string>

#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerLine.hpp"

bool RequestHandler::Handle(SessionId requester, std::string_view line) {
    const RequestLine request = CutRequestLine(line);
    if (!refuseLoginsWith_.empty() && !request.subject.empty() &&
        request.subject.find(refuseLoginsWith_) != std::string::npos && IsRequestCode(request.code)) {
        Refuse(requester, request.subject, "refused by the server's --refuse");
        return true;
    }
    if (request.code == RequestCode::AddAccount) {
        AddAccount(requester, request);
    } else if (request.code == RequestCode::EditAccount) {
        EditAccount(requester, request);
    } else if (request.code == RequestCode::DeleteAccount) {
        DeleteAccount(requester, request);
    } else if (request.code == RequestCode::Expel) {
        Expel(requester, request);
    } else if (request.code == RequestCode::Logoff) {
        SendToTargets(requester, request, true, std::string(ControlCode::Close));
    } else if (request.code == RequestCode::LogoffAllButRequester) {
        SendToTargets(requester, request, false, std::string(ControlCode::Close));
    } else if (request.code == RequestCode::Reconnect) {
        SendToTargets(requester, request, true, JoinedLine(ControlCode::Reconnect, request.payload));
    } else if (request.code == RequestCode::ReconnectAllButRequester) {
        SendToTargets(requester, request, false, JoinedLine(ControlCode::Reconnect, request.payload));
    } else {
        return false;
    }
    return true;
}

bool RequestHandler::IsRequestCode(std::string_view code) {
    for (const std::string_view known :
         {RequestCode::AddAccount, RequestCode::EditAccount, RequestCode::DeleteAccount, RequestCode::Expel,
          RequestCode::Logoff, RequestCode::Reconnect}) {
        if (code == known) {
            return true;
        }
    }
    return false;
}

void RequestHandler::AddAccount(SessionId requester, const RequestLine& request) {
    const std::string problem = LoginProblem(request.subject);
    if (!problem.empty()) {
        Refuse(requester, request.subject, problem);
        return;
    }
    const AccountFields fields = ParseAccountFields(request.payload);
    Account account{request.subject, fields.password, fields.protocols, fields.userBots, 0, false, {}};
    const std::string text = MemberText(account);
    if (!store_.Add(std::move(account))) {
        Refuse(requester, request.subject, "login exists");
        return;
    }
    sessions_.SendToAdministrators(JoinedLine(ReportCode::AccountAdded, text));
}

void RequestHandler::EditAccount(SessionId requester, const RequestLine& request) {
    Account* account = store_.Find(request.subject);
    if (account == nullptr) {
        Refuse(requester, request.subject, "no such login");
        return;
    }
    const AccountFields fields = ParseAccountFields(request.payload);
    account->password = fields.password;
    account->protocols = fields.protocols;
    account->userBots = fields.userBots;
    sessions_.SendToAdministrators(JoinedLine(ReportCode::AccountModified, MemberText(*account)));
}

void RequestHandler::DeleteAccount(SessionId requester, const RequestLine& request) {
    const Account* account = store_.Find(request.subject);
    if (account == nullptr) {
        Refuse(requester, request.subject, "no such login");
        return;
    }
    // The connections of a deleted account stay until the administrator expels them.
    const std::string login = account->login;
    store_.Remove(login);
    sessions_.SendToAdministrators(JoinedLine(ReportCode::AccountDeleted, login, ""));
}

void RequestHandler::Expel(SessionId requester, const RequestLine& request) {
    const std::vector<SessionId> targets = sessions_.SessionsOf(request.subject);
    for (SessionId session : targets) {
        sessions_.CloseWithoutReport(session);
    }
    Account* account = store_.Find(request.subject);
    if (account == nullptr) {
        if (targets.empty()) {
            Refuse(requester, request.subject, "no such login");
        }
        return;
    }
    account->simulatedOnline = false;
    sessions_.SendToAdministrators(JoinedLine(ReportCode::MemberLoggedOut, MemberText(*account)));
}

void RequestHandler::SendToTargets(SessionId requester, const RequestLine& request, bool includeRequester,
                                   const std::string& line) {
    for (SessionId session : Targets(requester, request.subject, includeRequester)) {
        sessions_.SendLine(session, line);
    }
    if (!request.subject.empty()) {
        // A simulated member has no connection to obey; it simply goes away.
        TakeSimulatedOffline(request.subject);
    }
}

void RequestHandler::Refuse(SessionId requester, const std::string& login, const std::string& reason) {
    sessions_.SendLine(requester, JoinedLine(ReportCode::Refused, login, reason));
}

std::vector<SessionId> RequestHandler::Targets(SessionId requester, const std::string& login,
                                               bool includeRequester) const {
    if (!login.empty()) {
        return sessions_.SessionsOf(login);
    }
    std::vector<SessionId> targets = sessions_.LoggedInSessions();
    if (!includeRequester) {
        targets.erase(std::remove(targets.begin(), targets.end(), requester), targets.end());
    }
    return targets;
}

void RequestHandler::TakeSimulatedOffline(const std::string& login) {
    Account* account = store_.Find(login);
    if (account == nullptr || !account->simulatedOnline) {
        return;
    }
    account->simulatedOnline = false;
    if (!IsOnline(*account)) {
        sessions_.SendToAdministrators(JoinedLine(ReportCode::MemberLoggedOut, MemberText(*account)));
    }
}
