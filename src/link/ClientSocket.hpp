#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "link/LinkProtection.hpp"

// The asynchronous TCP client socket the link is written against. Notifications arrive on the
// program's one thread, from the socket's own event handling or synchronously from the calls
// documented below; the link never sees a toolkit type.

enum class TSocketErrorKind { General, Send, Receive, Connect, Disconnect, Accept, Lookup };

class ClientSocketHandler {
public:
    virtual void SocketLookup() = 0;
    virtual void SocketConnecting() = 0;
    virtual void SocketConnect() = 0;
    virtual void SocketDisconnect() = 0;
    virtual void SocketRead() = 0;
    virtual void SocketWrite() = 0;
    // The handler sets code to 0 to tell the socket that the error has been dealt with.
    virtual void SocketError(TSocketErrorKind kind, int32_t& code) = 0;

protected:
    ~ClientSocketHandler() = default;
};

class ClientSocket {
public:
    virtual ~ClientSocket() = default;

    // Attaches the one handler that receives every notification; nullptr detaches it.
    virtual void SetHandler(ClientSocketHandler* handler) = 0;

    // Starts an attempt to address (a dotted IPv4 address) or host (a name to look up): at most
    // one of the two is non-empty. Raises the lookup notification before returning; connecting
    // and connect (or an error) follow. An attempt still pending is abandoned without further
    // notifications. Throws std::runtime_error when the attempt cannot start (both empty, say).
    virtual void Open(const std::string& address, const std::string& host, int32_t port) = 0;

    // True from just before the connect notification until just before the disconnect one.
    virtual bool Active() const = 0;

    // Closes an established connection, raising the disconnect notification before returning;
    // does nothing otherwise (a pending lookup or connect goes on).
    virtual void Close() = 0;

    // Closes the endpoint even when no connection was established, raising the disconnect
    // notification before returning.
    virtual void CloseEndpoint() = 0;

    // Every byte that can be read now.
    virtual std::string ReceiveText() = 0;

    // At most maxBytes of them, the rest left for a later call; a socket that cannot bound its
    // reads gives everything. Whatever is left unread when the peer closes can still be read
    // during the disconnect notification.
    virtual std::string ReceiveTextUpTo(std::size_t maxBytes) {
        static_cast<void>(maxBytes);
        return ReceiveText();
    }

    // Hands the bytes to the network. Bytes the network cannot take at once stay queued and go
    // out at the next opportunity. A hard failure raises a send error, then the disconnect.
    virtual void SendText(const std::string& bytes) = 0;

    // Raises the write notification synchronously, before returning.
    virtual void RequestWriteNotification() = 0;

    // The platform's own description of a Windows Sockets error number.
    virtual std::string ErrorMessage(int32_t code) const = 0;

    // For the attempts opened from now on; a socket that knows no TLS ignores it.
    virtual void SetTls(const TlsPolicy& policy) { static_cast<void>(policy); }
    virtual void SetSsh(const SshPolicy& policy) { static_cast<void>(policy); }
    // How the connection in use is protected, in words for the log; empty for plain TCP.
    virtual std::string Protection() const { return {}; }
    // The certificate the last attempt refused (LinkRefusal's certificate errors), if any.
    virtual std::optional<PeerCertificate> RefusedCertificate() const { return std::nullopt; }
};
