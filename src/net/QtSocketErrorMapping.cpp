#include "net/QtSocketErrorMapping.hpp"

#include <QCoreApplication>

namespace {

// Qt's own wording, in the translation that is active, exactly as its socket engine words it.
bool DescribedAs(const QString& description, const char* engineText) {
    return description == QCoreApplication::translate("QNativeSocketEngine", engineText);
}

int32_t NetworkErrorCode(const QString& description) {
    if (DescribedAs(description, "Host unreachable")) {
        return Winsock::HostUnreachable;
    }
    if (DescribedAs(description, "Connection timed out") ||
        DescribedAs(description, "Network operation timed out")) {
        return Winsock::TimedOut;
    }
    if (DescribedAs(description, "The bound address is already in use")) {
        return Winsock::AddressInUse;
    }
    if (DescribedAs(description, "The remote host closed the connection")) {
        return Winsock::ConnectionReset;
    }
    return Winsock::NetworkUnreachable;
}

}  // namespace

int32_t WinsockCodeOf(QAbstractSocket::SocketError error, const QString& description) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return Winsock::ConnectionRefused;
        case QAbstractSocket::RemoteHostClosedError:
            return Winsock::ConnectionReset;
        case QAbstractSocket::HostNotFoundError:
            return Winsock::HostNotFound;
        case QAbstractSocket::SocketAccessError:
            return Winsock::AccessDenied;
        case QAbstractSocket::SocketResourceError:
            return Winsock::NoBufferSpace;
        case QAbstractSocket::SocketTimeoutError:
            return Winsock::TimedOut;
        case QAbstractSocket::DatagramTooLargeError:
            return Winsock::MessageTooLong;
        case QAbstractSocket::NetworkError:
            return NetworkErrorCode(description);
        case QAbstractSocket::AddressInUseError:
            return Winsock::AddressInUse;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return Winsock::AddressNotAvailable;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return Winsock::FamilyNotSupported;
        case QAbstractSocket::UnfinishedSocketOperationError:
        case QAbstractSocket::OperationError:
            return Winsock::InProgress;
        case QAbstractSocket::TemporaryError:
            return Winsock::WouldBlock;
        default:
            return Winsock::ConnectionAborted;
    }
}
