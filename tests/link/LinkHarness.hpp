#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/TkvClient.hpp"
#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"

inline void PrintTo(LinkEventKind kind, std::ostream* out) {
    *out << NameOf(kind);
}

inline void PrintTo(LineState state, std::ostream* out) {
    switch (state) {
        case LineState::LoggedOut:
            *out << "LoggedOut";
            return;
        case LineState::LoggedIn:
            *out << "LoggedIn";
            return;
        case LineState::Cut:
            *out << "Cut";
            return;
        case LineState::FromEndedConnection:
            *out << "FromEndedConnection";
            return;
    }
    *out << "LineState " << static_cast<int>(state);
}

inline void PrintTo(const LinkEvent& event, std::ostream* out) {
    *out << '{' << NameOf(event.kind) << ", ";
    PrintTo(event.state, out);
    *out << ", \"" << event.text << "\"}";
}

// A link on a scripted socket and a manual clock, with its owner's callback recording what it
// is given.
struct LinkHarness {
    LinkHarness() {
        auto owned = std::make_unique<FakeClientSocket>();
        socket = owned.get();
        link = std::make_unique<TkvClient>(
            [this](const LinkEvent& event) {
                delivered.push_back(event);
                if (onDelivered) {
                    onDelivered(delivered.back());
                }
            },
            std::move(owned), clock);
        link->SetLogin("admin");
        link->SetPassword("secret");
    }

    // Delivers the queued events and gives them back.
    std::vector<LinkEvent> Tick() {
        delivered.clear();
        link->Tick();
        return delivered;
    }

    std::vector<LinkEventKind> TickKinds() {
        std::vector<LinkEventKind> kinds;
        for (const auto& event : Tick()) {
            kinds.push_back(event.kind);
        }
        return kinds;
    }

    void ConnectAndAccept() {
        link->Connect("server.test", 4000);
        socket->AcceptConnection();
    }

    // A connection through the whole handshake, its events already delivered.
    void LogIn() {
        ConnectAndAccept();
        socket->Deliver("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
        Tick();
    }

    ManualClock clock;
    FakeClientSocket* socket = nullptr;
    std::vector<LinkEvent> delivered;
    std::function<void(const LinkEvent&)> onDelivered;
    std::unique_ptr<TkvClient> link;
};
