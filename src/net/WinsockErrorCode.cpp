#include "net/WinsockErrorCode.hpp"

#include <QCoreApplication>

namespace {

constexpr int32_t kNetworkUnreachable = 10051;
constexpr int32_t kConnectionAborted = 10053;

// Qt's own wording, in the translation that is active, exactly as its socket engine words it.
bool DescribedAs(const QString& description, const char* engineText) {
    return description == QCoreApplication::translate("QNativeSocketEngine", engineText);
}

int32_t NetworkErrorCode(const QString& description) {
    if (DescribedAs(description, "Host unreachable")) {
        return 10065;
    }
    if (DescribedAs(description, "Connection timed out") ||
        DescribedAs(description, "Network operation timed out")) {
        return kWinsockTimedOut;
    }
    if (DescribedAs(description, "The bound address is already in use")) {
        return 10048;
    }
    if (DescribedAs(description, "The remote host closed the connection")) {
        return 10054;
    }
    return kNetworkUnreachable;
}

}  // namespace

int32_t WinsockCodeOf(QAbstractSocket::SocketError error, const QString& description) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return 10061;
        case QAbstractSocket::RemoteHostClosedError:
            return 10054;
        case QAbstractSocket::HostNotFoundError:
            return kWinsockHostNotFound;
        case QAbstractSocket::SocketAccessError:
            return 10013;
        case QAbstractSocket::SocketResourceError:
            return 10055;
        case QAbstractSocket::SocketTimeoutError:
            return kWinsockTimedOut;
        case QAbstractSocket::DatagramTooLargeError:
            return 10040;
        case QAbstractSocket::NetworkError:
            return NetworkErrorCode(description);
        case QAbstractSocket::AddressInUseError:
            return 10048;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return kWinsockAddressNotAvailable;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return 10047;
        case QAbstractSocket::UnfinishedSocketOperationError:
        case QAbstractSocket::OperationError:
            return 10036;
        case QAbstractSocket::TemporaryError:
            return 10035;
        default:
            return kConnectionAborted;
    }
}
