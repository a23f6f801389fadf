// Peer addresses as the server names them.
#pragma once

#include <sys/socket.h>

#include <string>

namespace scoreserver {

// The address as text ("127.0.0.1", "2001:db8::5"); "" for another family.
std::string AddressText(const sockaddr* address);

}  // namespace scoreserver
