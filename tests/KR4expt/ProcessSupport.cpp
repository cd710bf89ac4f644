#include "ProcessSupport.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace krx::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path ToolPath(const std::string &name) {
  const char *dir = std::getenv("KRX_BINARY_DIR");
  const fs::path base = dir && *dir ? fs::path(dir) : fs::path(KRX_BINARY_DIR);
  // One program per folder of tools/; it lands in tools/ of the build, or in a folder of its
  // own there.
  const fs::path direct = base / "tools" / name;
  return fs::is_regular_file(direct) ? direct : direct / name;
}

namespace {

std::string ReadAll(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

TChildProcess::TChildProcess(const std::vector<std::string> &argv, const fs::path &out,
                             const fs::path &err)
    : FOut(out), FErr(err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char *> args;
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  const int rc = posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    FPid = -1;
    throw std::runtime_error("cannot start " + argv[0]);
  }
}

TChildProcess::~TChildProcess() {
  if (FPid > 0) {
    ::kill(FPid, SIGKILL);
    int status = 0;
    ::waitpid(FPid, &status, 0);
  }
}

long TChildProcess::PeakRssKb() const {
  std::ifstream in("/proc/" + std::to_string(FPid) + "/status");
  for (std::string key; in >> key;) {
    if (key == "VmHWM:") {
      long value = -1;
      in >> value;
      return value;
    }
  }
  return -1;
}

int TChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (FPid <= 0)
    return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid)
      break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, &status, 0);
      FPid = -1;
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  FPid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int TChildProcess::Stop(std::chrono::milliseconds timeout) {
  if (FPid > 0)
    ::kill(FPid, SIGTERM);
  return Wait(timeout);
}

bool TChildProcess::WaitForError(const std::string &text, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Error().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::string TChildProcess::Error() const { return ReadAll(FErr); }
std::string TChildProcess::Output() const { return ReadAll(FOut); }

int RunTool(const std::vector<std::string> &argv, const fs::path &dir,
            std::chrono::milliseconds timeout, std::string *error) {
  static int counter = 0;
  const std::string stem = "run" + std::to_string(++counter);
  TChildProcess child(argv, dir / (stem + ".out"), dir / (stem + ".err"));
  const int rc = child.Wait(timeout);
  if (error)
    *error = child.Error();
  return rc;
}

// ---- JSON ---------------------------------------------------------------------------------

namespace {

class TJsonParser {
public:
  explicit TJsonParser(const std::string &text) : S(text) {}

  TJson Document() {
    TJson v = Value();
    Blanks();
    if (P != S.size())
      Fail("trailing text");
    return v;
  }

private:
  [[noreturn]] void Fail(const char *what) const {
    throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(P) + " in " +
                             S);
  }
  void Blanks() {
    while (P < S.size() && (S[P] == ' ' || S[P] == '\t' || S[P] == '\n' || S[P] == '\r'))
      ++P;
  }
  void Expect(char c) {
    Blanks();
    if (P >= S.size() || S[P] != c)
      Fail("unexpected character");
    ++P;
  }
  TJson Value() {
    Blanks();
    if (P >= S.size())
      Fail("unexpected end");
    const char c = S[P];
    if (c == '"')
      return TJson{String16()};
    if (c == '[') {
      ++P;
      std::vector<TJson> items;
      Blanks();
      if (P < S.size() && S[P] == ']') {
        ++P;
        return TJson{items};
      }
      for (;;) {
        items.push_back(Value());
        Blanks();
        if (P < S.size() && S[P] == ',') {
          ++P;
          continue;
        }
        Expect(']');
        return TJson{items};
      }
    }
    if (c == '{') {
      ++P;
      std::map<std::string, TJson> members;
      Blanks();
      if (P < S.size() && S[P] == '}') {
        ++P;
        return TJson{members};
      }
      for (;;) {
        Blanks();
        const std::string key = StringToUtf8(String16());
        Expect(':');
        members[key] = Value();
        Blanks();
        if (P < S.size() && S[P] == ',') {
          ++P;
          continue;
        }
        Expect('}');
        return TJson{members};
      }
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t used = 0;
      const long long v = std::stoll(S.substr(P), &used);
      P += used;
      return TJson{Int64{v}};
    }
    // Booleans read as the numbers 1 and 0.
    for (const auto &[word, value] : {std::pair{"true", 1}, std::pair{"false", 0}})
      if (S.compare(P, std::strlen(word), word) == 0) {
        P += std::strlen(word);
        return TJson{Int64{value}};
      }
    Fail("unexpected value");
  }
  unsigned Hex4() {
    if (P + 4 > S.size())
      Fail("short \\u escape");
    const unsigned v = static_cast<unsigned>(std::stoul(S.substr(P, 4), nullptr, 16));
    P += 4;
    return v;
  }
  String String16() {
    if (P >= S.size() || S[P] != '"')
      Fail("string expected");
    ++P;
    std::string utf8;
    String out;
    const auto flush = [&] {
      out += Utf8ToString(utf8);
      utf8.clear();
    };
    for (;;) {
      if (P >= S.size())
        Fail("unterminated string");
      const char c = S[P++];
      if (c == '"')
        break;
      if (static_cast<unsigned char>(c) < 0x20)
        Fail("control character in string");
      if (c != '\\') {
        utf8 += c;
        continue;
      }
      flush();
      if (P >= S.size())
        Fail("unterminated escape");
      const char e = S[P++];
      switch (e) {
      case '"':
        out += u'"';
        break;
      case '\\':
        out += u'\\';
        break;
      case '/':
        out += u'/';
        break;
      case 'b':
        out += u'\b';
        break;
      case 'f':
        out += u'\f';
        break;
      case 'n':
        out += u'\n';
        break;
      case 'r':
        out += u'\r';
        break;
      case 't':
        out += u'\t';
        break;
      case 'u':
        out += static_cast<Char>(Hex4());
        break;
      default:
        Fail("bad escape");
      }
    }
    flush();
    return out;
  }

  const std::string &S;
  std::size_t P = 0;
};

} // namespace

TJson ParseJson(const std::string &text) { return TJsonParser(text).Document(); }

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(line);
  return lines;
}

} // namespace krx::test
