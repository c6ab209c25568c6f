#include "session/ConnectionLog.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "link/TkvClient.hpp"
#include "link/TkvClientLogin.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerReports.hpp"
#include "session/PasswordMask.hpp"
#include "session/ServerSession.hpp"

namespace {

std::string Place(const std::string& host, int32_t port) {
    return host + ":" + std::to_string(port);
}

std::string ReconnectText(const ServerReconnectOrder& order, const TkvClient& link) {
    std::string text =
        "the server orders a reconnection in " + std::to_string(order.delaySeconds) + " s to " +
        Place(order.host.empty() ? link.Host() : order.host, order.port > 0 ? order.port : link.Port());
    if (!order.login.empty()) {
        text += " as " + order.login;
    }
    return text;
}

}  // namespace

void ConnectionLog::Record(const LinkEvent& event, const ConnectionEffect& control,
                           const ServerSession& session) {
    const TkvClient& link = session.Link();
    const std::string_view name = NameOf(event.kind);
    switch (event.kind) {
        case LinkEventKind::Read:
            FollowPrompt(event.state, event.text);
            RecordRead(event.text);
            // No order is obeyed from a line the connection's end cut off, nor from a
            // connection already replaced.
            if (MayBeObeyed(event.state)) {
                RecordConnectionControl(control, link);
            }
            break;
        case LinkEventKind::Lookup:
            // Lines not sent before a new lookup are dropped by the link, their answers with them.
            answersDue_.clear();
            Add(name, Place(link.Host(), link.Port()));
            break;
        case LinkEventKind::Connecting:
        case LinkEventKind::Connect:
            Add(name, Place(link.Host(), link.Port()));
            break;
        case LinkEventKind::Login:
            RecordLogin(session);
            break;
        case LinkEventKind::Write:
            if (const bool hidden = IsPasswordAnswer(event.text, link); showLines_) {
                if (hidden) {
                    Add(name, std::string(kHiddenPassword));
                } else if (std::optional<std::string> masked = MaskedRequest(event.text)) {
                    Add(name, std::move(*masked), event.text);
                } else {
                    Add(name, event.text);
                }
            }
            break;
        default:
            Add(name, event.text);
            break;
    }
}

void ConnectionLog::RecordLogin(const ServerSession& session) {
    const std::string& login = session.Link().Login();
    Add(NameOf(LinkEventKind::Login), "logged in as " + login);
    if (session.Link().LoggedIn() && !session.LoggedInAsAdministrator()) {
        Add("Closed", "the server did not grant the \"" + std::string(kAdministratorProtocol) +
                          "\" protocol to " + login + ", so this client closes the connection");
    }
}

void ConnectionLog::Add(std::string_view name, std::string text, std::string revealed) {
    if (entries_.size() >= kCapacity) {
        entries_.pop_front();
    }
    entries_.push_back({now_(), std::string(name), std::move(text), std::move(revealed)});
    if (listener_) {
        listener_(entries_.back());
    }
}

// The login handler answers exactly these prompts, and only before the login completes.
void ConnectionLog::FollowPrompt(LineState state, const std::string& line) {
    // A prompt of a replaced connection was answered all the same, at the time it was read.
    if (state != LineState::LoggedOut && state != LineState::FromEndedConnection) {
        return;
    }
    if (line == kLoginPrompt) {
        answersDue_.push_back(Answer::Login);
    } else if (line == kPasswordPrompt) {
        answersDue_.push_back(Answer::Password);
    }
}

// A line that cannot be told apart from the password answer is hidden: while a password
// answer is due, only the expected login answer shows. So a heartbeat or a command sent
// between a prompt and its answer, or a password changed meanwhile, never uncovers it.
bool ConnectionLog::IsPasswordAnswer(const std::string& line, const TkvClient& link) {
    const bool passwordDue =
        std::find(answersDue_.begin(), answersDue_.end(), Answer::Password) != answersDue_.end();
    if (answersDue_.empty()) {
        return !link.Password().empty() && line == link.Password();
    }
    if (answersDue_.front() == Answer::Login) {
        if (line == link.Login()) {
            answersDue_.pop_front();
            return !link.Password().empty() && line == link.Password();
        }
        return passwordDue;
    }
    if (line == link.Password()) {
        answersDue_.pop_front();
    }
    return true;
}

void ConnectionLog::RecordRead(const std::string& line) {
    if (!showLines_) {
        return;
    }
    if (std::optional<std::string> masked = MaskedReport(line)) {
        Add("Read", std::move(*masked), line);
        return;
    }
    Add("Read", line);
}

void ConnectionLog::RecordConnectionControl(const ConnectionEffect& effect, const TkvClient& link) {
    if (effect.order == ConnectionOrder::Close) {
        Add("SRC", "the server orders the connection closed");
    } else if (effect.order == ConnectionOrder::Reconnect) {
        Add("SRE", ReconnectText(effect.reconnect, link));
    }
}
