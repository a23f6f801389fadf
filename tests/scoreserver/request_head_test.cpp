// The head check in front of the HTTP library: which heads pass, which are
// refused as bad or too large, and that a verdict, once given, holds
// however the bytes came and whatever follows them.
#include "request_head.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using scoreserver::CheckRequestHead;
using scoreserver::HeadVerdict;

constexpr size_t kMax = 16 * 1024;

const char* Name(HeadVerdict v) {
  switch (v) {
    case HeadVerdict::kIncomplete: return "incomplete";
    case HeadVerdict::kPass: return "pass";
    case HeadVerdict::kBad: return "bad";
    case HeadVerdict::kTooLarge: return "too large";
    case HeadVerdict::kNotImplemented: return "not implemented";
  }
  return "?";
}

const std::string kGame =
    "GET //kestrum/tables/260/1.txt HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: VortaThttp/1.0\n\n\r\n";

TEST(RequestHead, WhatPassesAndWhatIsRefused) {
  const std::string post = "POST /x HTTP/1.0\r\nContent-Length: ";
  const struct {
    std::string head;
    HeadVerdict verdict;
  } cases[] = {
      {kGame, HeadVerdict::kPass},
      {"GET /x HTTP/1.1\r\nHost: a\r\n\r\n", HeadVerdict::kPass},
      {"\r\n\nGET /x HTTP/1.0\r\n\r\n", HeadVerdict::kPass},  // blank lines before the request line
      {"GET /x HTTP/2.0\r\n\r\n", HeadVerdict::kPass},        // the library answers the version
      {post + "0005\r\n\r\nabcde", HeadVerdict::kPass},
      {post + "16384\r\n\r\n", HeadVerdict::kPass},
      {"GET /x HTTP/1.0\r\ncontent-LENGTH:\t3\r\n\r\nabc", HeadVerdict::kPass},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", HeadVerdict::kPass},
      {"GET /x HTTP/1.0\r\nX: caf\xc3\xa9\t!\r\n\r\n", HeadVerdict::kPass},
      // Content-Length
      {post + "-5\r\n\r\n", HeadVerdict::kBad},
      {post + "abc\r\n\r\n", HeadVerdict::kBad},
      {post + "+5\r\n\r\n", HeadVerdict::kBad},
      {post + "0x5\r\n\r\n", HeadVerdict::kBad},
      {post + "\r\n\r\n", HeadVerdict::kBad},
      {post + "1,1\r\n\r\n", HeadVerdict::kBad},
      {post + "5 \r\n\r\n", HeadVerdict::kBad},
      {post + "3\r\nContent-Length: 3\r\n\r\nabc", HeadVerdict::kBad},
      {post + "3\r\nTransfer-Encoding: chunked\r\n\r\n", HeadVerdict::kBad},
      {post + "12345678901234567890123\r\n\r\n", HeadVerdict::kTooLarge},
      {post + "16385\r\n\r\n", HeadVerdict::kTooLarge},
      {post + "99999999999999999999999999999999999999999\r\n\r\n", HeadVerdict::kTooLarge},
      // the request line
      {"GET\r\n\r\n", HeadVerdict::kBad},
      {"GET /x\r\n\r\n", HeadVerdict::kBad},
      {"GET  /x HTTP/1.0\r\n\r\n", HeadVerdict::kBad},
      {"GET /x FOO/9\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0 \r\n\r\n", HeadVerdict::kBad},
      {std::string("GET /x\0y HTTP/1.0\r\n\r\n", 21), HeadVerdict::kBad},
      {"\x16\x03\x01\x02\xa5\x01\r\n\r\n", HeadVerdict::kBad},  // a TLS greeting
      // header lines
      {"GET /x HTTP/1.0\r\nNoColon\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\nHost : a\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\n: a\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\nX: a\r\n b\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\rHost: a\r\n\r\n", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\nX: a\x7f\r\n\r\n", HeadVerdict::kBad},
      // a bare CR as the line end, decided as soon as the byte after it comes
      {"GET /x HTTP/1.0\rHost: a\r\r", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\nHost: a\r\rX", HeadVerdict::kBad},
      {"GET /x HTTP/1.0\r\nHost: a\r", HeadVerdict::kIncomplete},
      // a body that cannot be delimited: chunked must be the last coding, once, alone, in HTTP/1.1
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: CHUNKED \r\n\r\n", HeadVerdict::kPass},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: identity\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding:\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: ,\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked, gzip\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked;x=1\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked, chunked\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding:\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n", HeadVerdict::kBad},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", HeadVerdict::kNotImplemented},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n",
       HeadVerdict::kNotImplemented},
      // length of the head
      {"GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n", HeadVerdict::kTooLarge},
      {"GET /x HTTP/1.0\r\nX: " + std::string(kMax, 'a'), HeadVerdict::kTooLarge},
      {"GET /" + std::string(kMax - 20, 'a') + " HTTP/1.0\r\n\r\n", HeadVerdict::kPass},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(Name(CheckRequestHead(c.head, kMax, kMax)), Name(c.verdict)) << c.head.substr(0, 80);
  }
}

// Whether a body follows a head that passes: only then may the request
// still be coming once the head is in.
TEST(RequestHead, APassedHeadSaysWhetherABodyFollows) {
  const struct {
    std::string head;
    bool body;
  } cases[] = {
      {kGame, false},
      {"GET /x HTTP/1.0\r\nContent-Length: 0\r\n\r\n", false},
      {"POST /x HTTP/1.0\r\nContent-Length: 5\r\n\r\n", true},
      {"POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", true},
  };
  for (const auto& c : cases) {
    bool body = !c.body;
    EXPECT_EQ(CheckRequestHead(c.head, kMax, kMax, &body), HeadVerdict::kPass) << c.head;
    EXPECT_EQ(body, c.body) << c.head;
  }
}

// Byte by byte, every head of the table above is undecided until the
// moment it is decided, and then stays so: the bytes can come in any
// pieces, and what follows a head never changes what it was.
TEST(RequestHead, AVerdictComesOnceAndHolds) {
  const std::string heads[] = {
      kGame,
      "POST /x HTTP/1.0\r\nContent-Length: -5\r\n\r\n",
      "GET\r\n\r\n",
      "GET /x HTTP/1.0\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\nabc",
      "GET /x HTTP/1.0\r\nContent-Length: 99999\r\n\r\n",
      "GET /x HTTP/1.0\r\nX: " + std::string(kMax, 'a'),
      "GET /x HTTP/1.0\r\nHost: a\rX: b\r\n\r\n",
      "POST /x HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
      "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
  };
  for (const std::string& head : heads) {
    const HeadVerdict whole = CheckRequestHead(head, kMax, kMax);
    ASSERT_NE(whole, HeadVerdict::kIncomplete) << head.substr(0, 60);
    size_t decidedAt = 0;
    for (size_t n = 0; n <= head.size(); ++n) {
      const HeadVerdict v = CheckRequestHead(std::string_view(head).substr(0, n), kMax, kMax);
      if (v == HeadVerdict::kIncomplete) {
        ASSERT_EQ(decidedAt, 0u) << "decided at " << decidedAt << ", undecided again at " << n;
        continue;
      }
      if (decidedAt == 0) decidedAt = n;
      ASSERT_EQ(v, whole) << head.substr(0, 60) << " at " << n;
    }
    // Read on from where the last whole line ended, a byte more each time,
    // as the door reads a connection: the same verdict at the same byte.
    scoreserver::HeadReading reading;
    size_t resumedAt = 0;
    for (size_t n = 0; n <= head.size() && resumedAt == 0; ++n) {
      const std::string_view rest = std::string_view(head).substr(0, n).substr(std::min(reading.lineAt, n));
      const HeadVerdict v = scoreserver::ContinueRequestHead(rest, reading, kMax, kMax);
      if (v == HeadVerdict::kIncomplete) continue;
      resumedAt = n;
      EXPECT_EQ(v, whole) << head.substr(0, 60);
    }
    EXPECT_EQ(resumedAt, decidedAt) << head.substr(0, 60);
    for (const std::string& more : {std::string(), std::string("GET / HTTP/1.0\r\n\r\n"), std::string("\r\n\r\n"), std::string(kMax, 'z')})
      EXPECT_EQ(CheckRequestHead(head + more, kMax, kMax), whole) << head.substr(0, 60);
  }
}

}  // namespace
