#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tiny_server.h"

namespace {

using testsupport::DrainUntilClosed;
using testsupport::kLoopback;
using testsupport::ReadRequest;
using testsupport::SendAll;
using testsupport::TinyServer;

Stream Connect(int port) {
  Socket socket = CreateTCPSocket();
  if (!socket || ConnectSocket(socket, HostIp("127.0.0.1"), port) != 1) return nullptr;
  return CreateSocketStream(socket, 1);
}

struct CoreNet : ::testing::Test {
  void SetUp() override { SetNetLimits(5000, 5000, 1 << 20); }
  void TearDown() override {
    SetNetLimits(0, 0, 0);
    SetNetReplyTimeLimit(0);
  }
};

TEST_F(CoreNet, AddressesAndLookups) {
  EXPECT_EQ(HostIp("127.0.0.1"), kLoopback);
  EXPECT_EQ(HostIp("127.0.0.1", 1), 0);
  EXPECT_EQ(DottedIP(kLoopback), "127.0.0.1");
  EXPECT_EQ(DottedIP(static_cast<int>(0xC0A80AFFu)), "192.168.10.255");
  EXPECT_EQ(HostIp("pibbo-score-server.invalid"), 0);
  EXPECT_EQ(HostIp(""), 0);
}

TEST_F(CoreNet, RequestAndReplyByLines) {
  std::string request;
  TinyServer server([&](int fd) {
    request = ReadRequest(fd);
    SendAll(fd, std::string("HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\nPassword Correct|hi\r\n\xE9") +
                    std::string("a\0b", 3));
  });
  Stream stream = Connect(server.port());
  ASSERT_TRUE(stream);
  WriteLine(stream, "GET //x HTTP/1.0\nHost: h\n");
  std::vector<std::string> lines;
  while (!Eof(stream)) lines.push_back(ReadLine(stream));
  CloseStream(stream);
  CloseStream(stream);

  EXPECT_EQ(request, "GET //x HTTP/1.0\nHost: h\n\r\n");
  // The close may be seen by Eof or by one more ReadLine giving "".
  if (!lines.empty() && lines.back().empty() && lines.size() == 7) lines.pop_back();
  EXPECT_EQ(lines, (std::vector<std::string>{"HTTP/1.0 200 OK", "Server: tiny", "",
                                             "Password Correct|hi", "\xE9" "a", "b"}));
}

TEST_F(CoreNet, ServerClosingAtOnceGivesNothing) {
  TinyServer server([](int) {});
  Stream stream = Connect(server.port());
  ASSERT_TRUE(stream);
  std::string all;
  while (!Eof(stream)) all += ReadLine(stream);
  EXPECT_EQ(all, "");
  EXPECT_EQ(ReadByte(stream), -1);
}

TEST_F(CoreNet, SilentServerTimesOut) {
  SetNetLimits(5000, 50, 1 << 20);
  TinyServer server([](int fd) { DrainUntilClosed(fd); });
  Stream stream = Connect(server.port());
  ASSERT_TRUE(stream);
  EXPECT_EQ(Eof(stream), 0);  // a plain look never ends the stream
  EXPECT_EQ(ReadLine(stream), "");
  EXPECT_EQ(Eof(stream), 1);
  CloseStream(stream);  // lets the server thread finish
}

TEST_F(CoreNet, OversizedReplyIsCut) {
  SetNetLimits(5000, 5000, 1000);
  TinyServer server([](int fd) {
    SendAll(fd, std::string(20000, 'x') + "\n");
    DrainUntilClosed(fd);
  });
  Stream stream = Connect(server.port());
  ASSERT_TRUE(stream);
  size_t total = 0;
  while (!Eof(stream)) total += ReadLine(stream).size();
  EXPECT_EQ(total, 1000u);
  CloseStream(stream);
}

TEST_F(CoreNet, TricklingServerHitsTheReplyTimeLimit) {
  SetNetReplyTimeLimit(100);
  TinyServer server([](int fd) {
    // One byte every 20 ms, without end, until the client hangs up.
    while (send(fd, "x", 1, MSG_NOSIGNAL) == 1) usleep(20000);
  });
  Stream stream = Connect(server.port());
  ASSERT_TRUE(stream);
  std::string all;
  while (!Eof(stream)) all += ReadLine(stream);  // ends only through the limit
  EXPECT_LT(all.size(), 1000u);
  CloseStream(stream);
}

TEST_F(CoreNet, FailedConnections) {
  // A port nobody listens on: refused at once.
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  const int closedPort = ntohs(address.sin_port);
  close(probe);

  Socket socket = CreateTCPSocket();
  ASSERT_TRUE(socket);
  EXPECT_EQ(ConnectSocket(socket, kLoopback, closedPort), 0);
  EXPECT_FALSE(CreateSocketStream(socket, 1));
  CloseSocket(socket);
  CloseSocket(socket);  // twice is harmless

  // A failed look-up (address 0) must not reach this machine's listener.
  TinyServer server([](int) {});
  Socket other = CreateTCPSocket();
  EXPECT_EQ(ConnectSocket(other, HostIp("nowhere.invalid"), server.port()), 0);
  EXPECT_EQ(ConnectSocket(other, kLoopback, 0), 0);
  EXPECT_EQ(ConnectSocket(Socket(), kLoopback, server.port()), 0);
  CloseSocket(other);
}

}  // namespace
