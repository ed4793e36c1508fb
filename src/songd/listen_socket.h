// The service's listening socket: one handed over by the service manager (socket activation),
// or one of its own, bound exclusively (a second service on the same address fails to start
// instead of sharing the port).
#pragma once

#include <string>
#include <vector>

namespace wavlon::songd {

// The first socket passed by the LISTEN_FDS/LISTEN_PID protocol (fd 3), or -1 when this
// process was given none. Clears the variables so that children do not take the socket too.
// A passed descriptor that is not a listening stream socket gives -1 and `error`.
int inherited_listen_socket(std::string& error);

// A listening TCP socket on `host` (a name or address) and `port` (0: any free port), without
// SO_REUSEPORT. -1 and a one-line `error` ("127.0.0.1:8765: address in use ...") on failure.
int open_listen_socket(const std::string& host, int port, std::string& error);

// The address a listening socket is bound to, as "HOST:PORT" parts (IPv6 without brackets).
bool socket_address(int fd, std::string& host, int& port);

// The names a client on this machine or the network may use for it in a Host header: loopback
// names, this machine's host name (also with ".local"), and the addresses of its interfaces.
// Lower case, IPv6 addresses in brackets.
std::vector<std::string> own_host_names();

}  // namespace wavlon::songd
