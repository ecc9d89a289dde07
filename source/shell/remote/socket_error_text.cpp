#include "shell/remote/socket_error_text.h"

namespace {

struct SocketErrorRow {
  int code;
  const char* text;
};

constexpr SocketErrorRow kSocketErrorTexts[] = {
    {10013, "Error> socket: requested address is broadcast address, but appropriate flag was not set"},
    {10014, "Error> socket: lpSockAddrLen argument is incorrect"},
    {10022, "Error> socket: socket is already bound to an address"},
    {10024, "Error> socket: no more file descriptors are available"},
    {10035, "Error> socket: socket is marked as nonblocking and call would block"},
    {10036, "Error> socket: a blocking Windows Sockets call is in progress"},
    {10038, "Error> socket: descriptor is a file, not a socket"},
    {10039, "Error> socket: destination address is required"},
    {10040, "Error> socket: datagram is larger than the maximum supported"},
    {10041, "Error> socket: specified port is wrong type for this socket"},
    {10043, "Error> socket: specified port is not supported"},
    {10044, "Error> socket: specified socket type not supported in this address family"},
    {10045, "Error> socket: referenced socket is not a type that supports connection-oriented service"},
    {10047, "Error> socket: addresses in the specified family cannot be used with this socket"},
    {10048, "Error> socket: specified address is already in use"},
    {10049, "Error> socket: specified address not available from local machine"},
    {10050, "Error> socket: network subsystem failure"},
    {10051, "Error> socket: network cannot be reached from this host at this time"},
    {10053, "Error> socket: connection aborted due to timeout or other failure"},
    {10054, "Error> socket: connection reset by remote side"},
    {10055, "Error> socket: no buffer space available. Socket cannot be connected"},
    {10056, "Error> socket: socket is already connected"},
    {10057, "Error> socket: socket is not connected"},
    {10058, "Error> socket: socket has been shut down"},
    {10060, "Error> socket: attempt to connect timed out without establishing a connection"},
    {10061, "Error> socket: attempt to connect was forcefully rejected"},
    {10093, "Error> socket: socket not initialized"},
};

}  // namespace

std::string SocketErrorText(int code) {
  for (const auto& row : kSocketErrorTexts) {
    if (row.code == code) return row.text;
  }
  return "Error> socket: unknown socket failure";
}
