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

// One event as the owner receives it.
struct LinkEvent {
    int loggedIn = 0;
    std::string name;
    std::string text;
    bool operator==(const LinkEvent&) const = default;
};

inline void PrintTo(const LinkEvent& event, std::ostream* out) {
    *out << '{' << event.loggedIn << ", " << event.name << ", \"" << event.text << "\"}";
}

// A link on a scripted socket and a manual clock, with its owner's callback recording what it
// is given.
struct LinkHarness {
    LinkHarness() {
        auto owned = std::make_unique<FakeClientSocket>();
        socket = owned.get();
        link = std::make_unique<TkvClient>(
            [this](uint8_t loggedIn, const std::string& name, const std::string& text) {
                delivered.push_back({loggedIn, name, text});
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

    std::vector<std::string> TickNames() {
        std::vector<std::string> names;
        for (const auto& event : Tick()) {
            names.push_back(event.name);
        }
        return names;
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
