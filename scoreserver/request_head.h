// The check a request's head passes before the HTTP library is given its
// connection. The library answers some heads it refuses with its status
// line and headers twice (a Content-Length of "-5", "abc" or 23 digits),
// and others not at all (a bare "GET"), so the server refuses those
// itself, with one whole reply, and hands the library only heads it reads
// the way the server does.
//
// The check reads what the client has sent so far and decides as soon as a
// line of the head settles it: a malformed line makes the request bad at
// once, and the blank line that ends the head decides the rest. Whatever
// more arrives never changes a verdict once given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scoreserver {

enum class HeadVerdict {
  kIncomplete,  // nothing settled yet: wait for more
  kPass,        // a whole head the library may take, with its bytes as they are
  kBad,         // malformed: answered 400 "BAD REQUEST"
  kTooLarge,    // a head longer than maxHead, or a body announced longer than maxBody: 413 "TOO LARGE"
  kNotImplemented,  // a body in a transfer coding besides chunked: 501 "NOT IMPLEMENTED"
};

// How far the check has read a connection's head: the next check of the
// same bytes, with more come after them, goes on from where the last whole
// line ended.
struct HeadReading {
  size_t lineAt = 0;   // where the line being read begins
  size_t checked = 0;  // how far that line's bytes are checked
  bool requestLine = false, http10 = false;
  bool badLength = false, longBody = false, someBody = false;
  int lengths = 0, transfers = 0;  // Content-Length and Transfer-Encoding lines
  int codings = 0, chunked = 0;    // transfer codings named, and how many of them are chunked
  bool chunkedLast = false;
  HeadVerdict verdict = HeadVerdict::kIncomplete;
};

// `bytes`: the connection's first bytes, as many as have come. The head
// must end within its first `maxHead` bytes, and the body it announces be
// at most `maxBody` bytes.
//
// A head is "METHOD SP TARGET SP HTTP/d.d" and header lines "Name: value",
// each ended by LF or CR LF; empty lines before the request line are
// passed over. Bad: a control character other than a tab in a line (a CR
// only right before its LF: a bare CR is refused as soon as what follows it
// has come), a folded header line, a name with a space before its colon, a
// Content-Length that is not only digits, more than one Content-Length, or
// a Content-Length beside a Transfer-Encoding; and a body that cannot be
// delimited: a Transfer-Encoding whose last coding is not chunked (an empty
// one too), chunked named twice, or a Transfer-Encoding in an HTTP/1.0
// request. One whose last coding is chunked but which names another
// besides (gzip, chunked) is not implemented; so only a single
// "Transfer-Encoding: chunked" passes.
// `body`, when given and the head passes, tells whether a body follows it
// (a Content-Length above 0, or a Transfer-Encoding).
// `reading`, when given, keeps how far the bytes were read, for a next
// call with the same bytes and more after them; once a verdict is given it
// is answered again.
HeadVerdict CheckRequestHead(std::string_view bytes, size_t maxHead, size_t maxBody, bool* body = nullptr,
                             HeadReading* reading = nullptr);
// The same, given only the bytes from `reading.lineAt` on (what a read of
// the connection from there brings).
HeadVerdict ContinueRequestHead(std::string_view rest, HeadReading& reading, size_t maxHead, size_t maxBody,
                                bool* body = nullptr);

// The bytes of the whole reply to a head refused (kBad, kTooLarge or
// kNotImplemented): a status line, Date (`date` as the header has it),
// Connection: close, a text/plain type and length, and the body "BAD
// REQUEST", "TOO LARGE" or "NOT IMPLEMENTED" with its CR LF, as the
// server's other refusals end.
std::string HeadRefusal(HeadVerdict verdict, const std::string& date);

}  // namespace scoreserver
