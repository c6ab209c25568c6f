#include "window/ConnectionLog.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "link/TkvClient.hpp"
#include "protocol/ServerReports.hpp"

namespace {

constexpr const char* kLoginPrompt = "send login:";
constexpr const char* kPasswordPrompt = "send password:";

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

void ConnectionLog::Record(const LinkEvent& event, const TkvClient& link) {
    const std::string_view name = NameOf(event.kind);
    const std::string& text = event.text;
    if (event.kind == LinkEventKind::Read) {
        const ConnectionEffect effect = ServerReports::ConnectionControlOf(text);
        FollowPrompt(event.state, text);
        RecordRead(text, effect);
        // The window obeys no order from a line the connection's end cut off, nor from a
        // connection already replaced.
        if (MayBeObeyed(event.state)) {
            RecordConnectionControl(effect, link);
        }
    } else if (event.kind == LinkEventKind::Lookup) {
        // Lines not sent before a new lookup are dropped by the link, their answers with them.
        answersDue_.clear();
        Add(name, Place(link.Host(), link.Port()));
    } else if (event.kind == LinkEventKind::Connecting || event.kind == LinkEventKind::Connect) {
        Add(name, Place(link.Host(), link.Port()));
    } else if (event.kind == LinkEventKind::Login) {
        Add(name, "logged in as " + link.Login());
        if (link.LoggedIn() && !link.HasGrantedProtocol("administrator")) {
            Add("Closed", "the server did not grant the \"administrator\" protocol to " + link.Login() +
                              ", so this client closes the connection");
        }
    } else if (event.kind == LinkEventKind::Error || event.kind == LinkEventKind::Disconnect) {
        Add(name, text);
    } else if (event.kind == LinkEventKind::Write) {
        const bool hidden = IsPasswordAnswer(text, link);
        if (showLines_) {
            Add(name, hidden ? kHiddenPassword : text);
        }
    } else {
        Add(name, text);
    }
}

void ConnectionLog::Add(std::string_view name, std::string text) {
    if (entries_.size() >= kCapacity) {
        entries_.pop_front();
    }
    entries_.push_back({now_(), std::string(name), std::move(text)});
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

void ConnectionLog::RecordRead(const std::string& line, const ConnectionEffect& effect) {
    if (!showLines_) {
        return;
    }
    if (effect.order == ConnectionOrder::Reconnect && !effect.reconnect.password.empty()) {
        // A reconnection under other credentials carries their password.
        const ServerReconnectOrder& order = effect.reconnect;
        Add("Read", "SRE:" + std::to_string(order.delaySeconds) + "," + std::to_string(order.port) + "," +
                        order.host + "," + order.login + "," + kHiddenPassword);
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
