#include "request_head.h"

#include <algorithm>
#include <cstring>

namespace scoreserver {
namespace {

bool IsTokenChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

// A run of token characters at the start of `text`: its length.
size_t TokenLength(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && IsTokenChar(static_cast<unsigned char>(text[n]))) ++n;
  return n;
}

// No control characters other than a tab (bytes above 127 are allowed).
bool PlainText(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
  }
  return true;
}

bool SameName(std::string_view name, const char* lower) {
  if (name.size() != std::strlen(lower)) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// "METHOD SP TARGET SP HTTP/d.d"
bool GoodRequestLine(std::string_view line) {
  const size_t method = TokenLength(line);
  if (method == 0 || method >= line.size() || line[method] != ' ') return false;
  const size_t targetAt = method + 1;
  const size_t space = line.find(' ', targetAt);
  if (space == std::string_view::npos || space == targetAt) return false;
  for (size_t i = targetAt; i < space; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c <= 0x20 || c == 0x7f) return false;
  }
  const std::string_view version = line.substr(space + 1);
  return version.size() == 8 && version.substr(0, 5) == "HTTP/" && version[5] >= '0' && version[5] <= '9' &&
         version[6] == '.' && version[7] >= '0' && version[7] <= '9';
}

// The codings of one Transfer-Encoding line, comma-separated, each with
// the blanks around it.
void ReadCodings(std::string_view value, HeadReading& r) {
  for (;;) {
    const size_t comma = value.find(',');
    std::string_view coding = value.substr(0, comma);
    while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t')) coding.remove_prefix(1);
    while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t')) coding.remove_suffix(1);
    if (!coding.empty()) {
      ++r.codings;
      r.chunkedLast = SameName(coding, "chunked");
      if (r.chunkedLast) ++r.chunked;
    }
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

// One whole line of the head, its end taken off: false when it makes the
// head bad; `end` when it ends the head.
bool ReadLine(std::string_view line, size_t maxBody, HeadReading& r, bool& end) {
  if (!r.requestLine) {
    if (line.empty()) return true;  // blank lines before the request line
    if (!GoodRequestLine(line)) return false;
    r.requestLine = true;
    r.http10 = line.substr(line.size() - 3) < "1.1";
    return true;
  }
  if (line.empty()) {
    end = true;
    return true;
  }
  const size_t name = TokenLength(line);
  if (name == 0 || name >= line.size() || line[name] != ':') return false;
  std::string_view value = line.substr(name + 1);
  if (SameName(line.substr(0, name), "content-length")) {
    ++r.lengths;
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    // Only digits: the library refuses a length with anything around it
    // in the way that answers twice.
    bool digits = !value.empty();
    size_t n = 0;
    for (const char c : value) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      if (n <= maxBody) n = n * 10 + static_cast<size_t>(c - '0');
    }
    if (!digits) r.badLength = true;
    else if (n > maxBody) r.longBody = true;
    else if (n > 0) r.someBody = true;
  } else if (SameName(line.substr(0, name), "transfer-encoding")) {
    ++r.transfers;
    ReadCodings(value, r);
  }
  return true;
}

// The head has ended: what its lines add up to.
HeadVerdict Judge(const HeadReading& r, bool* body) {
  if (r.badLength || r.lengths > 1 || (r.lengths && r.transfers)) return HeadVerdict::kBad;
  if (r.transfers) {
    // Where the body ends is known only from a chunked coding, applied
    // last and once, in HTTP/1.1.
    if (!r.chunkedLast || r.chunked > 1 || r.http10) return HeadVerdict::kBad;
    if (r.codings > 1) return HeadVerdict::kNotImplemented;
    if (r.transfers > 1) return HeadVerdict::kBad;  // a second, empty line
  }
  if (r.longBody) return HeadVerdict::kTooLarge;
  if (body) *body = r.someBody || r.transfers;
  return HeadVerdict::kPass;
}

}  // namespace

HeadVerdict ContinueRequestHead(std::string_view rest, HeadReading& r, size_t maxHead, size_t maxBody, bool* body) {
  if (r.verdict != HeadVerdict::kIncomplete) return r.verdict;
  const auto settle = [&r](HeadVerdict v) { return r.verdict = v; };
  // Offsets below are the head's, rest[0] being its byte `base`.
  const size_t base = r.lineAt;
  const std::string_view seen = rest.substr(0, maxHead > base ? maxHead - base : 0);
  for (;;) {
    const size_t lf = seen.find('\n', r.checked - base);
    if (lf == std::string_view::npos) {
      // The line so far holds only text, and a CR only as its last byte
      // (its LF may follow): a bare CR ends no line.
      size_t end = seen.size();
      if (end > r.checked - base && seen[end - 1] == '\r') --end;
      if (!PlainText(seen.substr(r.checked - base, end - (r.checked - base)))) return settle(HeadVerdict::kBad);
      r.checked = base + end;
      return base + rest.size() >= maxHead ? settle(HeadVerdict::kTooLarge) : HeadVerdict::kIncomplete;
    }
    std::string_view line = seen.substr(r.lineAt - base, lf - (r.lineAt - base));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t lineEnd = r.lineAt + line.size();
    if (lineEnd > r.checked && !PlainText(seen.substr(r.checked - base, lineEnd - r.checked)))
      return settle(HeadVerdict::kBad);
    r.lineAt = r.checked = base + lf + 1;
    bool end = false;
    if (!ReadLine(line, maxBody, r, end)) return settle(HeadVerdict::kBad);
    if (end) return settle(Judge(r, body));
  }
}

HeadVerdict CheckRequestHead(std::string_view bytes, size_t maxHead, size_t maxBody, bool* body,
                             HeadReading* reading) {
  HeadReading fresh;
  HeadReading& r = reading ? *reading : fresh;
  return ContinueRequestHead(bytes.substr(std::min(r.lineAt, bytes.size())), r, maxHead, maxBody, body);
}

std::string HeadRefusal(HeadVerdict verdict, const std::string& date) {
  const char* status = "400 Bad Request";
  std::string body = "BAD REQUEST\r\n";
  if (verdict == HeadVerdict::kTooLarge) {
    status = "413 Content Too Large";
    body = "TOO LARGE\r\n";
  } else if (verdict == HeadVerdict::kNotImplemented) {
    status = "501 Not Implemented";
    body = "NOT IMPLEMENTED\r\n";
  }
  return std::string("HTTP/1.1 ") + status + "\r\nDate: " + date +
         "\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

}  // namespace scoreserver
