// Peer addresses as the server names them, and as its limits count them.
#pragma once

#include <sys/socket.h>

#include <string>

namespace scoreserver {

// The address as text ("127.0.0.1", "2001:db8::5"); "" for another family.
std::string AddressText(const sockaddr* address);

// What the per-address limits count a client by: an IPv4 address as it is
// (one mapped into IPv6 too: "::ffff:192.0.2.7" is "192.0.2.7"), an IPv6
// address by its /64, the block one host or one home network usually
// holds ("2001:db8:1:2::/64"). Text that is no address stays as it is.
std::string AddressKey(const sockaddr* address);
std::string AddressKey(const std::string& text);

}  // namespace scoreserver
