// The HTTP/1.0 client record. Every wait is bounded by the platform's
// connect and read time-outs and its reply size cap (SetNetLimits), so a
// silent, slow or endless server costs the frame at most those limits.
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
  if (!stream) return "";
  WriteLine(stream, request);
  std::string text;
  while (!Eof(stream)) {
    text += ReadLine(stream);
    text += '\n';
  }
  if (autoClose != 0) Close();
  if (!text.empty()) text.pop_back();
  return text;
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
