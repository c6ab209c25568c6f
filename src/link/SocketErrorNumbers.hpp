#pragma once

#include <cstdint>

// The Windows Sockets numbers that the link's errors carry and that steer its reconnection,
// whatever platform the socket runs on. The socket maps its platform's errors onto these.
namespace Winsock {
inline constexpr int32_t AccessDenied = 10013;
inline constexpr int32_t WouldBlock = 10035;
inline constexpr int32_t InProgress = 10036;
inline constexpr int32_t MessageTooLong = 10040;
inline constexpr int32_t FamilyNotSupported = 10047;
inline constexpr int32_t AddressInUse = 10048;
inline constexpr int32_t AddressNotAvailable = 10049;
inline constexpr int32_t NetworkUnreachable = 10051;
inline constexpr int32_t ConnectionAborted = 10053;
inline constexpr int32_t ConnectionReset = 10054;
inline constexpr int32_t NoBufferSpace = 10055;
inline constexpr int32_t TimedOut = 10060;
inline constexpr int32_t ConnectionRefused = 10061;
inline constexpr int32_t HostUnreachable = 10065;
inline constexpr int32_t HostNotFound = 11001;
inline constexpr int32_t TryAgain = 11002;
}  // namespace Winsock
