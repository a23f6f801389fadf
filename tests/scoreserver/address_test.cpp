// What the per-address limits count a client by: an IPv4 address as it is,
// an IPv6 one by its /64.
#include "address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <string>

namespace {

std::string KeyOf(const char* text) {
  sockaddr_storage address{};
  if (inet_pton(AF_INET, text, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr) == 1)
    address.ss_family = AF_INET;
  else if (inet_pton(AF_INET6, text, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr) == 1)
    address.ss_family = AF_INET6;
  return scoreserver::AddressKey(reinterpret_cast<const sockaddr*>(&address));
}

TEST(AddressKey, AnIpv6ClientCountsByItsSlash64AndAnIpv4OneByItsAddress) {
  const struct {
    const char* address;
    const char* key;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1"},
      {"192.0.2.7", "192.0.2.7"},
      {"::ffff:192.0.2.7", "192.0.2.7"},  // IPv4 on an IPv6 socket: its own address, not ::ffff:0:0/64
      {"::ffff:192.0.2.8", "192.0.2.8"},
      {"::1", "::/64"},
      {"::2", "::/64"},
      {"2001:db8:1:2::5", "2001:db8:1:2::/64"},
      {"2001:db8:1:2:ffff:ffff:ffff:ffff", "2001:db8:1:2::/64"},
      {"2001:db8:1:3::5", "2001:db8:1:3::/64"},
      {"fe80::1:2:3:4", "fe80::/64"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyOf(c.address), c.key) << c.address;
    EXPECT_EQ(scoreserver::AddressKey(std::string(c.address)), c.key) << c.address << " as text";
    EXPECT_EQ(scoreserver::AddressKey(std::string(c.key)), c.key) << "a key stays a key";
  }
}

}  // namespace
