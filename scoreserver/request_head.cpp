#include "request_head.h"

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

}  // namespace

HeadVerdict CheckRequestHead(std::string_view bytes, size_t maxHead, size_t maxBody, bool* body) {
  const std::string_view seen = bytes.substr(0, maxHead);
  bool requestLine = false, transfer = false, badLength = false, longBody = false, someBody = false;
  int lengths = 0;
  for (size_t at = 0;;) {
    const size_t lf = seen.find('\n', at);
    if (lf == std::string_view::npos) return bytes.size() >= maxHead ? HeadVerdict::kTooLarge : HeadVerdict::kIncomplete;
    std::string_view line = seen.substr(at, lf - at);
    at = lf + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!PlainText(line)) return HeadVerdict::kBad;
    if (!requestLine) {
      if (line.empty()) continue;  // blank lines before the request line
      if (!GoodRequestLine(line)) return HeadVerdict::kBad;
      requestLine = true;
      continue;
    }
    if (line.empty()) break;  // the end of the head
    const size_t name = TokenLength(line);
    if (name == 0 || name >= line.size() || line[name] != ':') return HeadVerdict::kBad;
    std::string_view value = line.substr(name + 1);
    if (SameName(line.substr(0, name), "content-length")) {
      ++lengths;
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
      if (!digits) badLength = true;
      else if (n > maxBody) longBody = true;
      else if (n > 0) someBody = true;
    } else if (SameName(line.substr(0, name), "transfer-encoding")) {
      transfer = true;
    }
  }
  if (badLength || lengths > 1 || (lengths && transfer)) return HeadVerdict::kBad;
  if (longBody) return HeadVerdict::kTooLarge;
  if (body) *body = someBody || transfer;
  return HeadVerdict::kPass;
}

std::string HeadRefusal(HeadVerdict verdict, const std::string& date) {
  const bool tooLarge = verdict == HeadVerdict::kTooLarge;
  const std::string body = tooLarge ? "TOO LARGE\r\n" : "BAD REQUEST\r\n";
  return std::string(tooLarge ? "HTTP/1.1 413 Content Too Large\r\n" : "HTTP/1.1 400 Bad Request\r\n") +
         "Date: " + date + "\r\nConnection: close\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace scoreserver
