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
};

// `bytes`: the connection's first bytes, as many as have come. The head
// must end within its first `maxHead` bytes, and the body it announces be
// at most `maxBody` bytes.
//
// A head is "METHOD SP TARGET SP HTTP/d.d" and header lines "Name: value",
// each ended by LF or CR LF; empty lines before the request line are
// passed over. Bad: a control character other than a tab in a line (a CR
// only before its LF), a folded header line, a name with a space before its
// colon, a Content-Length that is not only digits, more than one
// Content-Length, or a Content-Length beside a Transfer-Encoding.
// `body`, when given and the head passes, tells whether a body follows it
// (a Content-Length above 0, or a Transfer-Encoding).
HeadVerdict CheckRequestHead(std::string_view bytes, size_t maxHead, size_t maxBody, bool* body = nullptr);

// The bytes of the whole reply to a head refused (kBad or kTooLarge): a
// status line, Date (`date` as the header has it), Connection: close, a
// text/plain type and length, and the body "BAD REQUEST" or "TOO LARGE"
// with its CR LF, as the server's other refusals end.
std::string HeadRefusal(HeadVerdict verdict, const std::string& date);

}  // namespace scoreserver
