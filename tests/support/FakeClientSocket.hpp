#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/ClientSocket.hpp"

// What a FakeClientSocket saw; shared so that a test can still read it after the socket's owner
// has destroyed the socket.
struct FakeSocketLog {
    struct OpenCall {
        std::string address;
        std::string host;
        int32_t port = 0;
        bool operator==(const OpenCall&) const = default;
    };

    std::vector<OpenCall> opens;
    std::string written;
    int closeCalls = 0;
    int closeEndpointCalls = 0;
    int writeRequests = 0;
    // Error codes the handler left non-zero (the socket would then raise its own exception).
    std::vector<int32_t> unhandledErrorCodes;
    bool destroyed = false;
    bool handlerAttachedAtDestruction = false;

    // The bytes written, cut at every carriage return; text after the last one is left out.
    std::vector<std::string> SentLines() const {
        std::vector<std::string> lines;
        std::string::size_type start = 0;
        for (auto end = written.find('\r'); end != std::string::npos; end = written.find('\r', start)) {
            lines.push_back(written.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
};

// A scripted socket: the test plays the network and the server through the methods below, and
// every notification reaches the handler synchronously, from inside the call that causes it.
class FakeClientSocket final : public ClientSocket {
public:
    FakeClientSocket() : log_(std::make_shared<FakeSocketLog>()) {}
    ~FakeClientSocket() override {
        log_->destroyed = true;
        log_->handlerAttachedAtDestruction = handler_ != nullptr;
    }

    // --- configuration by the test
    // Accept every connection at once on Open (lookup, connecting, connect in one step).
    void SetAutoAccept(bool on) { autoAccept_ = on; }
    // Make the next Open throw, before any notification, as an endpoint that cannot be created.
    void FailNextOpen(std::string message) { openFailure_ = std::move(message); }
    void SetErrorMessage(int32_t code, std::string text) { messages_[code] = std::move(text); }

    std::shared_ptr<const FakeSocketLog> Log() const { return log_; }
    const std::string& Written() const { return log_->written; }
    std::vector<std::string> SentLines() const { return log_->SentLines(); }
    const std::vector<FakeSocketLog::OpenCall>& Opens() const { return log_->opens; }
    bool HandlerAttached() const { return handler_ != nullptr; }
    bool Pending() const { return pending_; }

    // --- the network, played by the test
    void AcceptConnection() {
        RaiseConnectingOnce();
        pending_ = false;
        active_ = true;
        Notify(&ClientSocketHandler::SocketConnect);
    }
    // The attempt fails as a connect error (10061 refused, 10060 timed out, ...).
    void Refuse(int32_t code = 10061) {
        RaiseConnectingOnce();
        pending_ = false;
        RaiseError(TSocketErrorKind::Connect, code);
    }
    // The host-name lookup failed: the socket closes itself without an error notification.
    void FailLookup() {
        pending_ = false;
        Notify(&ClientSocketHandler::SocketDisconnect);
    }
    void Deliver(const std::string& bytes) {
        incoming_ += bytes;
        Notify(&ClientSocketHandler::SocketRead);
    }
    void PeerCloses() {
        active_ = false;
        Notify(&ClientSocketHandler::SocketDisconnect);
    }
    void RaiseError(TSocketErrorKind kind, int32_t code) {
        if (handler_ == nullptr) {
            return;
        }
        handler_->SocketError(kind, code);
        if (code != 0) {
            log_->unhandledErrorCodes.push_back(code);
        }
    }
    // A hard send failure, as the socket reports it: the error, then its own close.
    void FailSend(int32_t code = 10054) {
        RaiseError(TSocketErrorKind::Send, code);
        PeerCloses();
    }
    // The network says it can take data.
    void Writable() { Notify(&ClientSocketHandler::SocketWrite); }

    // --- ClientSocket
    void SetHandler(ClientSocketHandler* handler) override { handler_ = handler; }

    void Open(const std::string& address, const std::string& host, int32_t port) override {
        log_->opens.push_back({address, host, port});
        if (!openFailure_.empty()) {
            std::string message;
            message.swap(openFailure_);
            throw std::runtime_error(message);
        }
        pending_ = true;
        connectingRaised_ = false;
        Notify(&ClientSocketHandler::SocketLookup);
        if (autoAccept_) {
            AcceptConnection();
        }
    }

    bool Active() const override { return active_; }

    void Close() override {
        ++log_->closeCalls;
        if (active_) {
            active_ = false;
            Notify(&ClientSocketHandler::SocketDisconnect);
        }
    }

    void CloseEndpoint() override {
        ++log_->closeEndpointCalls;
        active_ = false;
        pending_ = false;
        Notify(&ClientSocketHandler::SocketDisconnect);
    }

    std::string ReceiveText() override {
        std::string bytes;
        bytes.swap(incoming_);
        return bytes;
    }

    void SendText(const std::string& bytes) override { log_->written += bytes; }

    void RequestWriteNotification() override {
        ++log_->writeRequests;
        Notify(&ClientSocketHandler::SocketWrite);
    }

    std::string ErrorMessage(int32_t code) const override {
        const auto found = messages_.find(code);
        return found != messages_.end() ? found->second : "Unknown error " + std::to_string(code) + ".";
    }

private:
    void Notify(void (ClientSocketHandler::*notification)()) {
        if (handler_ != nullptr) {
            (handler_->*notification)();
        }
    }
    void RaiseConnectingOnce() {
        if (!connectingRaised_) {
            connectingRaised_ = true;
            Notify(&ClientSocketHandler::SocketConnecting);
        }
    }

    std::shared_ptr<FakeSocketLog> log_;
    ClientSocketHandler* handler_ = nullptr;
    bool active_ = false;
    bool pending_ = false;
    bool connectingRaised_ = false;
    bool autoAccept_ = false;
    std::string openFailure_;
    std::string incoming_;
    std::map<int32_t, std::string> messages_{
        {10049, "The requested address is not valid in its context."},
        {10055,
         "An operation on a socket could not be performed because the system lacked sufficient buffer "
         "space.\r\n"},
        {10060, "Connection timed out."},
        {10061, "Connection refused. \r\n"},
    };
};
