#pragma once

#include <cstdint>

#include <QAbstractSocket>
#include <QString>

// The Windows Sockets number the link expects for one of Qt's socket errors. Qt folds several
// causes into NetworkError and tells them apart only by its description, which is therefore
// consulted too.
int32_t WinsockCodeOf(QAbstractSocket::SocketError error, const QString& description);

// Numbers the socket reports itself, outside Qt's error list.
inline constexpr int32_t kWinsockAddressNotAvailable = 10049;
inline constexpr int32_t kWinsockTimedOut = 10060;
inline constexpr int32_t kWinsockHostNotFound = 11001;
inline constexpr int32_t kWinsockTryAgain = 11002;
