#pragma once

#include <cstdint>

#include <QAbstractSocket>
#include <QString>

#include "link/SocketErrorNumbers.hpp"

// The Windows Sockets number the link expects for one of Qt's socket errors. Qt folds several
// causes into NetworkError and tells them apart only by its description, which is therefore
// consulted too.
int32_t WinsockCodeOf(QAbstractSocket::SocketError error, const QString& description);
