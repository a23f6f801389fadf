#include "address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace scoreserver {
namespace {

std::string Key6(in6_addr address) {
  char text[INET6_ADDRSTRLEN + 4] = "";
  if (IN6_IS_ADDR_V4MAPPED(&address)) {
    inet_ntop(AF_INET, &address.s6_addr[12], text, sizeof text);
    return text;
  }
  std::memset(&address.s6_addr[8], 0, 8);
  inet_ntop(AF_INET6, &address, text, sizeof text);
  return std::string(text) + "/64";
}

}  // namespace

std::string AddressText(const sockaddr* a) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!a) return "";
  if (a->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
  else if (a->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text, sizeof text);
  return text;
}

std::string AddressKey(const sockaddr* a) {
  if (a && a->sa_family == AF_INET6) return Key6(reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr);
  return AddressText(a);
}

std::string AddressKey(const std::string& text) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) return Key6(v6);
  return text;
}

}  // namespace scoreserver
