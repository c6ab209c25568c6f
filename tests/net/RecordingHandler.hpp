#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/ClientSocket.hpp"

// Records the socket's notifications by name ("Error(Connect,10061)" for errors); the bytes
// of every read notification are collected in Received instead. OnEvent runs after each record
// so that a test can act from inside a notification as the link does.
class RecordingHandler final : public ClientSocketHandler {
public:
    explicit RecordingHandler(ClientSocket& socket) : socket_(socket) { socket_.SetHandler(this); }

    std::vector<std::string> Events;
    std::string Received;
    bool ActiveAtConnect = false;
    bool ActiveAtDisconnect = true;
    bool ClearErrorCode = true;
    std::function<void(const std::string& event)> OnEvent;

    void SocketLookup() override { Record("Lookup"); }
    void SocketConnecting() override { Record("Connecting"); }
    void SocketConnect() override {
        ActiveAtConnect = socket_.Active();
        Record("Connect");
    }
    void SocketDisconnect() override {
        ActiveAtDisconnect = socket_.Active();
        Record("Disconnect");
    }
    void SocketRead() override {
        Received += socket_.ReceiveText();
        if (OnEvent) {
            OnEvent("Read");
        }
    }
    void SocketWrite() override { Record("Write"); }
    void SocketError(TSocketErrorKind kind, int32_t& code) override {
        Record("Error(" + KindName(kind) + "," + std::to_string(code) + ")");
        if (ClearErrorCode) {
            code = 0;
        }
    }

    bool Saw(const std::string& event) const {
        for (const std::string& seen : Events) {
            if (seen == event) {
                return true;
            }
        }
        return false;
    }

private:
    static std::string KindName(TSocketErrorKind kind) {
        switch (kind) {
            case TSocketErrorKind::Send:
                return "Send";
            case TSocketErrorKind::Receive:
                return "Receive";
            case TSocketErrorKind::Connect:
                return "Connect";
            case TSocketErrorKind::Disconnect:
                return "Disconnect";
            case TSocketErrorKind::Accept:
                return "Accept";
            case TSocketErrorKind::Lookup:
                return "Lookup";
            default:
                return "General";
        }
    }

    void Record(const std::string& event) {
        Events.push_back(event);
        if (OnEvent) {
            OnEvent(event);
        }
    }

    ClientSocket& socket_;
};
