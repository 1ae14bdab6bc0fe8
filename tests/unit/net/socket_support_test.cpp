// Error numbers and texts of the socket layer.
#include "net/socket_support.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>

namespace vellumite {
namespace {

TEST(MSocketSupport, ErrnoValuesMapOntoTheLayersNumbers) {
    const std::pair<int, int> cases[] = {
        {EINTR, 10004},       {EACCES, 10013},       {EINVAL, 10022},       {EMFILE, 10024},
        {EAGAIN, 10035},      {EINPROGRESS, 10036},  {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
        {ENETUNREACH, 10051}, {ECONNABORTED, 10053}, {ECONNRESET, 10054},   {ENOTCONN, 10057},
        {EPIPE, 10058},       {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},
        {ENOENT, 10107},
    };
    for (auto [posix, number] : cases)
        EXPECT_EQ(MSocketSupport::ErrorFromErrno(posix), number) << posix;
}

TEST(MSocketSupport, ResolverResultsMapOntoHostErrors) {
    EXPECT_EQ(MSocketSupport::ErrorFromResolver(EAI_NONAME, 0), 11001);
    EXPECT_EQ(MSocketSupport::ErrorFromResolver(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(MSocketSupport::ErrorFromResolver(EAI_FAIL, 0), 11003);
    EXPECT_EQ(MSocketSupport::ErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(MSocketSupport, ErrorTextsAndUnknownNumbers) {
    EXPECT_EQ(MSocketSupport::GetErrorDescription(10061), "Connection refused.");
    EXPECT_EQ(MSocketSupport::GetErrorDescription(11004),
              "Valid name, no data record of requested type.");
    EXPECT_EQ(MSocketSupport::GetErrorDescription(10059), "Unknown error.");
    EXPECT_EQ(MSocketSupport::GetErrorDescription(0), "Unknown error.");
}

} // namespace
} // namespace vellumite
