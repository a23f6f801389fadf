// The HTTP/1.0 client record. Every wait is bounded by the platform's
// connect and read time-outs and its reply size cap (SetNetLimits), so a
// silent, slow or endless server costs the frame at most those limits.
#include <algorithm>
#include <cstdint>

#include "engine/frame/hooks.h"
#include "engine/startup/startup.h"
#include "online/online.h"

const char kNoScoreServer[] = "scores.invalid";  // a name that never resolves

void ScoreServerAddress(std::string& host, int& port) {
  host = kNoScoreServer;
  port = 80;
  const std::string t = Trim(ScoreServer);
  const size_t colon = t.rfind(':');
  const std::string name = colon == std::string::npos ? t : t.substr(0, colon);
  int number = 80;
  if (colon != std::string::npos) {
    const std::string digits = t.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return;
    number = std::stoi(digits);
  }
  if (name.empty() || number < 1 || number > 65535 || name.find_first_of(" \t/") != std::string::npos) return;
  host = name;
  port = number;
}

void InstallOnline() {
  SetNetLimits(3000, 3000, 1 << 20);
  SetNetReplyTimeLimit(5000);
  // A score on its way to the server gets a moment to arrive; a silent
  // server does not hold the closing sequence up.
  OnEngineEvent(EngineEvent::Finishing, [] { WaitForOnlineRequests(kClosingWaitMs); });
}

int Thttp::Open(const std::string& hostName, int autoCloseFlag, int port) {
  sock = CreateTCPSocket();
  if (!sock) return 0;
  const int address = HostIp(hostName, 0);
  // A name without an address: no attempt at address 0.
  if (address == 0) return 0;
  if (!ConnectSocket(sock, address, port > 0 ? port : 80)) return 0;
  host = hostName;
  stream = CreateSocketStream(sock, 1);
  autoClose = autoCloseFlag;
  return stream ? 1 : 0;
}

std::string Thttp::Exchange(const std::string& request) {
  received.clear();
  cappedReply = 0;
  if (!stream) return "";
  WriteLine(stream, request);
  // The bytes as they come (the stream bounds them), then the text.
  char buffer[8192];
  while (!Eof(stream)) {
    const int n = stream->Read(buffer, static_cast<int>(sizeof buffer));
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
  }
  cappedReply = SocketStreamCapped(stream);
  if (autoClose != 0) Close();
  return ReplyText(received);
}

std::string ReplyText(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    if (c == '\r') continue;
    text += c == '\0' ? '\n' : c;
  }
  return text;
}

namespace {

// The byte after the line that starts at `at` (ended by LF or a zero
// byte), or npos when the bytes end first; `empty` tells whether the line
// held nothing but CRs.
size_t LineEnd(const std::string& bytes, size_t at, bool& empty) {
  empty = true;
  for (size_t p = at; p < bytes.size(); ++p) {
    const char c = bytes[p];
    if (c == '\n' || c == '\0') return p + 1;
    if (c != '\r') empty = false;
  }
  return std::string::npos;
}

// A header's value as a length: decimal digits only, blanks around them.
bool ReadLength(const std::string& value, uint64_t& length) {
  const std::string digits = Trim(value);
  if (digits.empty() || digits.size() > 15 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  length = std::stoull(digits);
  return true;
}

bool StartsLikeHttp(const std::string& bytes, size_t at) {
  static const std::string kStart = "HTTP/";
  const size_t n = std::min(kStart.size(), bytes.size() - at);
  return bytes.compare(at, n, kStart, 0, n) == 0;
}

}  // namespace

HttpReply ReadHttpReply(const std::string& bytes) {
  HttpReply reply;
  for (size_t head = 0;;) {
    if (!StartsLikeHttp(bytes, head)) {
      // No reply of HTTP (or none after an interim one): the text as it
      // came, judged by its content.
      reply.text = ReplyText(bytes.substr(head));
      reply.status = 0;
      reply.http = false;
      reply.whole = true;
      return reply;
    }
    reply.http = true;
    bool empty = false;
    const size_t statusEnd = LineEnd(bytes, head, empty);
    reply.status = ReplyStatus(ReplyText(bytes.substr(head, statusEnd == std::string::npos ? 16 : statusEnd - head)));
    // The head's lines after the status line, up to the empty one.
    bool lengthGiven = false, lengthBad = false;
    uint64_t length = 0;
    size_t bodyStart = std::string::npos;
    for (size_t at = statusEnd; at != std::string::npos;) {
      const size_t next = LineEnd(bytes, at, empty);
      if (next == std::string::npos) break;  // a line cut off
      if (empty) {
        bodyStart = next;
        break;
      }
      const std::string line = ReplyText(bytes.substr(at, next - 1 - at));
      const size_t colon = line.find(':');
      if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == "content-length") {
        uint64_t value = 0;
        if (!ReadLength(line.substr(colon + 1), value) || (lengthGiven && value != length)) lengthBad = true;
        lengthGiven = true;
        length = value;
      }
      at = next;
    }
    // An interim answer ("100 Continue") goes before the one that counts.
    const bool interim = reply.status >= 100 && reply.status < 200;
    if (interim && bodyStart != std::string::npos && bodyStart < bytes.size()) {
      head = bodyStart;
      continue;
    }
    reply.text = ReplyText(bytes.substr(head));
    // Whole once the head has ended, and the body is as long as it says.
    reply.whole = bodyStart != std::string::npos && !interim && !lengthBad &&
                  (!lengthGiven || bytes.size() - bodyStart >= length);
    return reply;
  }
}

std::string Thttp::Get(const std::string& url) {
  return Exchange("GET /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent + "\n\n");
}

std::string Thttp::Post(const std::string& url, const std::vector<std::string>& keys,
                        const std::vector<std::string>& values) {
  std::string body;
  for (size_t i = 0; i < keys.size() && i < values.size(); ++i)
    body += UrlEncode(keys[i]) + "=" + UrlEncode(values[i]) + "&";
  if (!body.empty()) body.pop_back();
  return Exchange("POST /" + url + " HTTP/1.0\nHost: " + host + "\nUser-Agent: " + agent +
                  "\nContent-Length: " + std::to_string(body.size()) +
                  "\nContent-Type: application/x-www-form-urlencoded\n\n" + body);
}

int Thttp::Close() {
  if (stream) CloseStream(stream);
  if (sock) CloseSocket(sock);
  return 0;
}

std::string Thttp::UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '+' ||
                       c == '-' || c == '.' || c == '_';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string Thttp::UrlDecode(const std::string& text) {
  static const std::string kDigits = "0123456789ABCDEF";
  auto value = [&](size_t p) -> int {
    if (p >= text.size()) return 0;
    const size_t at = kDigits.find(text[p]);
    return at == std::string::npos ? -1 : static_cast<int>(at);
  };
  std::string out;
  for (size_t p = 0; p < text.size();) {
    if (text[p] != '%') {
      out += text[p];
      ++p;
      continue;
    }
    // Characters are bytes here: the 16-bit code keeps its low 8 bits.
    out += static_cast<char>((16 * value(p + 1) + value(p + 2)) & 0xFF);
    p += 3;
  }
  return out;
}
