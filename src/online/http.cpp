// The HTTP/1.0 client record. Every wait is bounded by the platform's
// connect and read time-outs and its reply size cap (SetNetLimits), so a
// silent, slow or endless server costs the frame at most those limits.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>
#include <vector>

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

// Where the parts of a reply lie in its bytes, and what they say of its
// end.
struct ReplyFrame {
  bool http = false;
  size_t head = 0;                        // the status line of the reply that counts
  size_t bodyStart = std::string::npos;   // after its empty line; npos while its head goes on
  int status = 0;
  // How the body is delimited: by the server's close, by the length the
  // head gives, in chunks, or not at all (no body).
  enum Body { ToClose, Length, Chunked, None } body = None;
  uint64_t length = 0;
  std::vector<std::pair<size_t, size_t>> pieces;  // a chunked body's data: place, size
  bool whole = false;       // as for HttpReply
  bool ended = false;       // its own framing says it has ended: nothing more to wait for
  bool unreadable = false;  // framed or coded in a way the client does not read
};

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

// The codings a header's value lists, lower case, blanks and empty
// elements dropped, appended to `codings`.
void AddCodings(const std::string& value, std::vector<std::string>& codings) {
  for (size_t start = 0; start <= value.size();) {
    const size_t comma = std::min(value.find(',', start), value.size());
    const std::string coding = Lower(Trim(value.substr(start, comma - start)));
    if (!coding.empty()) codings.push_back(coding);
    start = comma + 1;
  }
}

// A chunk-size or trailer line of more bytes than this is no chunked
// body's: the framing is refused rather than waited for.
constexpr size_t kChunkLineMax = 4096;

// A chunked body from `at`: its pieces' places in `frame.pieces`, and
// whether it has ended (its last chunk and trailer read) or breaks the
// framing. Bytes that come later never undo what earlier ones decided.
void FrameChunks(const std::string& bytes, size_t at, ReplyFrame& frame) {
  // The end of the line from `p` (the byte after its LF), npos while it
  // has not come; refused when too long.
  const auto lineEnd = [&](size_t p) {
    const size_t lf = bytes.find('\n', p);
    if (lf == std::string::npos && bytes.size() - p > kChunkLineMax) frame.unreadable = true;
    if (lf != std::string::npos && lf - p > kChunkLineMax) frame.unreadable = true;
    return lf == std::string::npos ? lf : lf + 1;
  };
  for (;;) {
    const size_t next = lineEnd(at);
    if (frame.unreadable || next == std::string::npos) return;
    // Hexadecimal digits, then blanks and an extension after ";" at most.
    uint64_t size = 0;
    size_t p = at, significant = 0;
    for (; p < next - 1; ++p) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[p])));
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) break;
      if (size > 0 || digit > 0) ++significant;
      size = size * 16 + static_cast<uint64_t>(digit);
    }
    const size_t digits = p - at;
    while (p < next - 1 && (bytes[p] == ' ' || bytes[p] == '\t')) ++p;
    const bool lineOk = p == next - 1 || bytes[p] == ';' || (bytes[p] == '\r' && p == next - 2);
    if (digits == 0 || significant > 15 || !lineOk) {
      frame.unreadable = true;
      return;
    }
    at = next;
    if (size == 0) {
      // The trailer's lines, up to the empty one.
      for (;;) {
        const size_t end = lineEnd(at);
        if (frame.unreadable || end == std::string::npos) return;
        const bool empty = end - at == 1 || (end - at == 2 && bytes[at] == '\r');
        at = end;
        if (empty) {
          frame.ended = true;
          return;
        }
      }
    }
    const size_t have = bytes.size() - at;
    frame.pieces.emplace_back(at, static_cast<size_t>(std::min<uint64_t>(size, have)));
    if (have < size) return;
    at += size;
    // The chunk's data ends its line.
    if (at == bytes.size()) return;
    if (bytes[at] == '\r') {
      if (at + 1 == bytes.size()) return;
      ++at;
    }
    if (bytes[at] != '\n') {
      frame.unreadable = true;
      return;
    }
    ++at;
  }
}

// Reads the reply's frame from `from` (the start of its bytes, or a head
// an earlier look found after interim answers).
ReplyFrame FrameReply(const std::string& bytes, size_t from = 0) {
  ReplyFrame frame;
  for (size_t head = std::min(from, bytes.size());;) {
    frame.head = head;
    if (!StartsLikeHttp(bytes, head)) {
      // No reply of HTTP (or none after an interim one): the text as it
      // came, ended by the server's close.
      frame.http = false;
      frame.status = 0;
      frame.bodyStart = head;
      frame.body = ReplyFrame::ToClose;
      frame.whole = true;
      return frame;
    }
    frame.http = true;
    bool empty = false;
    const size_t statusEnd = LineEnd(bytes, head, empty);
    frame.status = ReplyStatus(ReplyText(bytes.substr(head, statusEnd == std::string::npos ? 16 : statusEnd - head)));
    // The head's end first: its lines are read once it has come.
    frame.bodyStart = std::string::npos;
    for (size_t at = statusEnd; at != std::string::npos;) {
      const size_t next = LineEnd(bytes, at, empty);
      if (next != std::string::npos && empty) frame.bodyStart = next;
      at = frame.bodyStart == std::string::npos ? next : std::string::npos;
    }
    // An interim answer ("100 Continue") goes before the one that counts.
    const bool interim = frame.status >= 100 && frame.status < 200;
    if (interim && frame.bodyStart != std::string::npos && frame.bodyStart < bytes.size()) {
      head = frame.bodyStart;
      continue;
    }
    if (frame.bodyStart == std::string::npos || interim) return frame;  // not whole
    // The head's lines after the status line.
    bool lengthGiven = false, lengthBad = false, encoded = false, transferGiven = false;
    std::vector<std::string> transfer;
    for (size_t at = statusEnd; at < frame.bodyStart;) {
      const size_t next = LineEnd(bytes, at, empty);
      const std::string line = ReplyText(bytes.substr(at, next - 1 - at));
      at = next;
      const size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const std::string name = Lower(Trim(line.substr(0, colon)));
      const std::string value = line.substr(colon + 1);
      if (name == "content-length") {
        uint64_t length = 0;
        if (!ReadLength(value, length) || (lengthGiven && length != frame.length)) lengthBad = true;
        lengthGiven = true;
        frame.length = length;
      } else if (name == "transfer-encoding") {
        transferGiven = true;
        AddCodings(value, transfer);
      } else if (name == "content-encoding") {
        std::vector<std::string> codings;
        AddCodings(value, codings);
        for (const std::string& coding : codings) encoded |= coding != "identity";
      }
    }
    frame.whole = true;
    if (frame.status == 204 || frame.status == 304) {
      frame.body = ReplyFrame::None;  // these have no body, whatever the head says
      frame.ended = true;
      return frame;
    }
    // A coding the client did not ask for, a transfer coding other than
    // chunked alone, or one beside a length: the body cannot be read, and
    // the head says so already.
    if (encoded || (transferGiven && (transfer.size() != 1 || transfer[0] != "chunked" || lengthGiven))) {
      frame.unreadable = true;
      frame.ended = true;
      return frame;
    }
    if (transferGiven) {
      frame.body = ReplyFrame::Chunked;
      FrameChunks(bytes, frame.bodyStart, frame);
      // A chunked body that breaks its framing is refused at once.
      frame.whole = frame.ended || frame.unreadable;
      frame.ended = frame.whole;
      return frame;
    }
    if (lengthGiven && lengthBad) {
      frame.body = ReplyFrame::ToClose;  // no end can be told, and the reply is not whole
      frame.whole = false;
      return frame;
    }
    if (lengthGiven) {
      frame.body = ReplyFrame::Length;
      frame.whole = bytes.size() - frame.bodyStart >= frame.length;
      frame.ended = frame.whole;
      return frame;
    }
    frame.body = ReplyFrame::ToClose;
    return frame;
  }
}

}  // namespace

HttpReply ReadHttpReply(const std::string& bytes) {
  const ReplyFrame frame = FrameReply(bytes);
  HttpReply reply;
  reply.http = frame.http;
  reply.whole = frame.whole;
  reply.ended = frame.ended;
  reply.unreadable = frame.unreadable;
  reply.status = frame.status;
  if (frame.bodyStart == std::string::npos) {
    reply.text = ReplyText(bytes.substr(frame.head));  // the head as far as it came
    return reply;
  }
  reply.text = ReplyText(bytes.substr(frame.head, frame.bodyStart - frame.head));
  if (frame.unreadable) return reply;  // a body the client does not read
  switch (frame.body) {
    case ReplyFrame::ToClose: reply.text += ReplyText(bytes.substr(frame.bodyStart)); break;
    case ReplyFrame::Length: reply.text += ReplyText(bytes.substr(frame.bodyStart, frame.length)); break;
    case ReplyFrame::Chunked:
      for (const auto& [at, size] : frame.pieces) reply.text += ReplyText(bytes.substr(at, size));
      break;
    case ReplyFrame::None: break;
  }
  return reply;
}

std::string Thttp::Exchange(const std::string& request) {
  received.clear();
  cappedReply = 0;
  if (!stream) return "";
  WriteLine(stream, request);
  // The bytes as they come (the stream bounds them), until the reply's
  // own framing says it has ended or the server closes: a server that
  // holds the connection open after a whole reply holds nothing up.
  char buffer[8192];
  size_t from = 0;
  while (!Eof(stream)) {
    const int n = stream->Read(buffer, static_cast<int>(sizeof buffer));
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
    const ReplyFrame frame = FrameReply(received, from);
    if (frame.ended) break;
    from = frame.head;  // the interim answers before it are read
  }
  cappedReply = SocketStreamCapped(stream);
  if (autoClose != 0) Close();
  return ReadHttpReply(received).text;
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
