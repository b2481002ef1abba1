#include "support/browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace lw::test {
namespace {

// Defined once in the page: decodes a list of [base64, type] pairs and answers with one line per
// file, "ok width height repetitions duration:base64rgba ...", or "err reason".
constexpr const char* kDecoder = R"js(
window.lwDecode = async (files) => {
  const pack = (u8) => {
    let s = '';
    for (let i = 0; i < u8.length; i += 0x8000)
      s += String.fromCharCode.apply(null, u8.subarray(i, i + 0x8000));
    return btoa(s);
  };
  const out = [];
  for (const [data, type] of files) {
    try {
      const bytes = Uint8Array.from(atob(data), c => c.charCodeAt(0));
      const d = new ImageDecoder({data: bytes, type, colorSpaceConversion: 'none',
                                  premultiplyAlpha: 'none'});
      await d.tracks.ready;
      await d.completed;
      const track = d.tracks.selectedTrack;
      const parts = [];
      let w = 0, h = 0;
      for (let i = 0; i < track.frameCount; i++) {
        const f = (await d.decode({frameIndex: i})).image;
        w = f.visibleRect.width;
        h = f.visibleRect.height;
        const buf = new Uint8Array(f.allocationSize({format: 'RGBA'}));
        await f.copyTo(buf, {format: 'RGBA'});
        parts.push((f.duration ?? 0) + ':' + pack(buf));
        f.close();
      }
      d.close();
      const loops = isFinite(track.repetitionCount) ? track.repetitionCount : -1;
      out.push(['ok', w, h, loops, ...parts].join(' '));
    } catch (e) {
      out.push('err ' + String(e).replace(/[^A-Za-z0-9 .:,]/g, ' '));
    }
  }
  return out.join('#');
};
)js";

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The string value of the first "key":"..." in a JSON message (escapes undone; \u only for
// ASCII, all the answers hold).
std::string JsonField(const std::string& message, const std::string& key) {
  const std::string mark = "\"" + key + "\":\"";
  size_t at = message.find(mark);
  if (at == std::string::npos) return {};
  std::string out;
  for (size_t i = at + mark.size(); i < message.size() && message[i] != '"'; ++i) {
    if (message[i] != '\\' || i + 1 >= message.size()) {
      out += message[i];
      continue;
    }
    char c = message[++i];
    if (c == 'u' && i + 4 < message.size()) {
      out += static_cast<char>(std::stoi(message.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else {
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
  }
  return out;
}

std::vector<uint8_t> FromBase64(const std::string& s) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : s) {
    int v = value(c);
    if (v < 0) continue;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out.push_back(static_cast<uint8_t>(bits >> count));
    }
  }
  return out;
}

std::string ToBase64(const std::string& data) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = static_cast<uint8_t>(data[i]) << 16 | static_cast<uint8_t>(data[i + 1]) << 8 |
                 static_cast<uint8_t>(data[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += digits[(v >> k) & 63];
  }
  if (i < data.size()) {
    uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<uint8_t>(data[i + 1]) << 8;
    out += digits[(v >> 18) & 63];
    out += digits[(v >> 12) & 63];
    out += i + 1 < data.size() ? digits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string MimeType(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (ext == ".webp") return "image/webp";
  if (ext == ".png" || ext == ".apng") return "image/png";
  return "image/gif";
}

BrowserImage ParseImage(const std::string& line) {
  BrowserImage image;
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (word != "ok") {
    image.error = line.empty() ? "no answer" : line;
    return image;
  }
  in >> image.width >> image.height >> image.repetitions;
  while (in >> word) {
    size_t colon = word.find(':');
    BrowserFrame frame;
    frame.durationUs = std::stoull(word.substr(0, colon));
    frame.rgba = FromBase64(word.substr(colon + 1));
    image.frames.push_back(std::move(frame));
  }
  return image;
}

}  // namespace

std::string BrowserProgram() {
  for (const char* name : {"chromium-headless-shell", "chromium"})
    if (HasTool(name)) return name;
  return "chromium-headless-shell";
}

Browser* Browser::Shared(std::string* why) {
  static std::unique_ptr<Browser> shared;
  static std::string failure;
  if (!shared && failure.empty()) {
    std::unique_ptr<Browser> browser(new Browser);
    if (browser->Start(&failure))
      shared = std::move(browser);
    else if (failure.empty())
      failure = "Chromium did not start";
  }
  if (!shared && why) *why = failure;
  return shared.get();
}

bool Browser::Start(std::string* why) {
  signal(SIGPIPE, SIG_IGN);  // a browser that died shows as a failed write, not a dead test
  std::string pattern = (std::filesystem::temp_directory_path() / "lw-browser-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return false;
  folder_ = pattern;
  std::ofstream(folder_ + "/page.html") << "<!doctype html><title>decoder</title>";

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  const std::string program = BrowserProgram();
  std::vector<std::string> args = {program,
                                   "--headless",
                                   "--remote-debugging-pipe",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--no-first-run",
                                   "--user-data-dir=" + folder_ + "/profile",
                                   "about:blank"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string log = folder_ + "/chromium.log";
  pid_ = fork();
  if (pid_ == 0) {
    // Moved out of the way first: a pipe may already sit on 3 or 4 (and dup2 onto itself would
    // keep close-on-exec).
    int reading = fcntl(in[0], F_DUPFD_CLOEXEC, 10), writing = fcntl(out[1], F_DUPFD_CLOEXEC, 10);
    dup2(reading, 3);
    dup2(writing, 4);
    int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err >= 0) dup2(err, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  toBrowser_ = in[1];
  fromBrowser_ = out[0];
  if (pid_ < 0) return false;

  const std::string target =
      JsonField(Call("Target.createTarget",
                     "{\"url\":" + JsonString("file://" + folder_ + "/page.html") + "}"),
                "targetId");
  session_ = JsonField(
      Call("Target.attachToTarget", "{\"targetId\":" + JsonString(target) + ",\"flatten\":true}"),
      "sessionId");
  if (target.empty() || session_.empty()) {
    std::ifstream in(log);
    *why = "Chromium did not answer: " +
           std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return false;
  }
  // The page is a secure context once loaded: ImageDecoder is there.
  const std::string ready =
      "new Promise(r => { const w = () => location.protocol == 'file:' && "
      "document.readyState == 'complete' ? r(typeof ImageDecoder) : setTimeout(w, 5); w(); })";
  // Asked again while the page replaces the blank one (the first answer may be that the context
  // went away).
  std::string answer;
  for (int tries = 0; tries < 100 && JsonField(answer, "value") != "function"; ++tries) {
    if (tries) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    answer = Call("Runtime.evaluate", "{\"expression\":" + JsonString(ready) +
                                          ",\"awaitPromise\":true,\"returnByValue\":true}");
    if (answer.empty()) break;
  }
  if (JsonField(answer, "value") != "function") {
    *why = "Chromium has no ImageDecoder: " + answer;
    return false;
  }
  Call("Runtime.evaluate", "{\"expression\":" + JsonString(kDecoder) + "}");
  return true;
}

Browser::~Browser() {
  if (pid_ > 0) {
    Call("Browser.close", "{}", 2000);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
      ended = waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  if (toBrowser_ >= 0) close(toBrowser_);
  if (fromBrowser_ >= 0) close(fromBrowser_);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string Browser::Call(const std::string& method, const std::string& params, int waitMs) {
  const int id = ++nextId_;
  std::string message = "{\"id\":" + std::to_string(id) + ",\"method\":" + JsonString(method) +
                        ",\"params\":" + params;
  if (!session_.empty() && method.rfind("Runtime.", 0) == 0)
    message += ",\"sessionId\":" + JsonString(session_);
  message += "}";
  message += '\0';
  for (size_t done = 0; done < message.size();) {
    ssize_t n = write(toBrowser_, message.data() + done, message.size() - done);
    if (n <= 0) return {};
    done += static_cast<size_t>(n);
  }
  // Answers come in order with events between them; each message ends with a zero byte.
  const std::string mark = "{\"id\":" + std::to_string(id) + ",";
  for (;;) {
    size_t end;
    while ((end = pending_.find('\0')) != std::string::npos) {
      std::string one = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (one.rfind(mark, 0) == 0) return one;
    }
    pollfd wait{fromBrowser_, POLLIN, 0};
    if (poll(&wait, 1, waitMs) <= 0) return {};
    char buffer[65536];
    ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
    if (n <= 0) return {};
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

std::vector<BrowserImage> Browser::Decode(const std::vector<std::string>& paths) {
  std::string list = "[";
  for (const std::string& path : paths) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (list.size() > 1) list += ",";
    list += "['" + ToBase64(bytes) + "','" + MimeType(path) + "']";
  }
  list += "]";
  const std::string answer =
      Call("Runtime.evaluate", "{\"expression\":" + JsonString("lwDecode(" + list + ")") +
                                   ",\"awaitPromise\":true,\"returnByValue\":true}");
  const std::string value = JsonField(answer, "value");
  std::vector<BrowserImage> images;
  std::istringstream lines(value);
  std::string line;
  while (std::getline(lines, line, '#')) images.push_back(ParseImage(line));
  while (images.size() < paths.size())
    images.push_back({.error = "no answer: " + answer.substr(0, 300)});
  return images;
}

}  // namespace lw::test
