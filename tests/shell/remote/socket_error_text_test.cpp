// Socket error texts, and the socket errors that the platform reports for
// the failures the server and the transfers meet.

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/tcp_socket.h"
#include "shell/remote/socket_error_text.h"

namespace {

TEST(SocketErrorText, KnownAndUnknownNumbers) {
  EXPECT_EQ(SocketErrorText(10048), "Error> socket: specified address is already in use");
  EXPECT_EQ(SocketErrorText(10054), "Error> socket: connection reset by remote side");
  EXPECT_EQ(SocketErrorText(10061), "Error> socket: attempt to connect was forcefully rejected");
  EXPECT_EQ(SocketErrorText(10093), "Error> socket: socket not initialized");
  EXPECT_EQ(SocketErrorText(10013),
            "Error> socket: requested address is broadcast address, but appropriate flag was not set");
  for (int code : {0, 10037, 10052, 10059, 10062, 104}) {
    EXPECT_EQ(SocketErrorText(code), "Error> socket: unknown socket failure") << code;
  }
}

TEST(SocketErrorFromErrno, MapsTheFailuresOfConnectionsToTheirNumbers) {
  EXPECT_EQ(platform::SocketErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(platform::SocketErrorFromErrno(EPIPE), 10054);
  EXPECT_EQ(platform::SocketErrorFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(platform::SocketErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(platform::SocketErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(platform::SocketErrorFromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(platform::SocketErrorFromErrno(0), 0);
}

TEST(ConnectTcp, RefusedAndBadAddressesGiveTheirNumbers) {
  int error = 0;
  auto listener = platform::TcpListener::Listen(0, 1, &error);
  ASSERT_TRUE(listener.Valid());
  const auto port = listener.Port();
  listener.Close();
  EXPECT_FALSE(platform::ConnectTcp("127.0.0.1", port, std::chrono::seconds(5), &error).Valid());
  EXPECT_EQ(error, 10061);
  EXPECT_FALSE(platform::ConnectTcp("not an address", 4000, std::chrono::seconds(5), &error).Valid());
  EXPECT_EQ(error, 10049);
}

}  // namespace
