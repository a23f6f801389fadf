#include "address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace scoreserver {

std::string AddressText(const sockaddr* a) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!a) return "";
  if (a->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
  else if (a->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
  return text;
}

}  // namespace scoreserver
