#include "net/PlatformErrorDescription.hpp"

#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include <netdb.h>

namespace {

// The Windows Sockets numbers are the BSD errno values offset by 10000; Linux numbers them
// differently, so each one is named.
constexpr std::array<std::pair<int32_t, int>, 38> kErrnoOfWinsock{{
    {10004, EINTR},         {10009, EBADF},        {10013, EACCES},          {10014, EFAULT},
    {10022, EINVAL},        {10024, EMFILE},       {10035, EWOULDBLOCK},     {10036, EINPROGRESS},
    {10037, EALREADY},      {10038, ENOTSOCK},     {10039, EDESTADDRREQ},    {10040, EMSGSIZE},
    {10041, EPROTOTYPE},    {10042, ENOPROTOOPT},  {10043, EPROTONOSUPPORT}, {10044, ESOCKTNOSUPPORT},
    {10045, EOPNOTSUPP},    {10046, EPFNOSUPPORT}, {10047, EAFNOSUPPORT},    {10048, EADDRINUSE},
    {10049, EADDRNOTAVAIL}, {10050, ENETDOWN},     {10051, ENETUNREACH},     {10052, ENETRESET},
    {10053, ECONNABORTED},  {10054, ECONNRESET},   {10055, ENOBUFS},         {10056, EISCONN},
    {10057, ENOTCONN},      {10058, ESHUTDOWN},    {10059, ETOOMANYREFS},    {10060, ETIMEDOUT},
    {10061, ECONNREFUSED},  {10062, ELOOP},        {10063, ENAMETOOLONG},    {10064, EHOSTDOWN},
    {10065, EHOSTUNREACH},  {10069, EDQUOT},
}};

constexpr std::array<std::pair<int32_t, int>, 4> kResolverErrorOfWinsock{{
    {11001, EAI_NONAME},
    {11002, EAI_AGAIN},
    {11003, EAI_FAIL},
    {11004, EAI_NODATA},
}};

template <size_t N>
const int* Find(const std::array<std::pair<int32_t, int>, N>& table, int32_t code) {
    for (const auto& [winsock, native] : table) {
        if (winsock == code) {
            return &native;
        }
    }
    return nullptr;
}

}  // namespace

std::string WinsockErrorText(int32_t code) {
    if (const int* errnoValue = Find(kErrnoOfWinsock, code)) {
        return std::generic_category().message(*errnoValue);
    }
    if (const int* resolverError = Find(kResolverErrorOfWinsock, code)) {
        return gai_strerror(*resolverError);
    }
    return std::generic_category().message(code);
}
