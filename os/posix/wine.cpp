// The Wine facility on Linux: `wine` from the PATH, the prefix a game lies in, the
// prefix's drives and its update marker, and the run of a Windows program as a child
// process that shares this one's standard streams.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "os/posix/host_path.h"
#include "platform/ansi_text.h"
#include "platform/seam.h"
#include "platform/wine.h"

extern char** environ;

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;

bool isExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The folder a drive of the prefix stands for, links resolved; empty when it is none.
fs::path driveFolder(const fs::path& drive) {
  std::error_code ec;
  const fs::path folder = fs::canonical(drive, ec);
  if (ec || !fs::is_directory(folder, ec)) return {};
  return folder;
}

// How many components of `inner` lie below `outer`, or -1 when `inner` is not inside it.
int depthBelow(const fs::path& outer, const fs::path& inner, fs::path& rest) {
  auto o = outer.begin();
  auto i = inner.begin();
  for (; o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // a final separator
    if (i == inner.end() || *o != *i) return -1;
  }
  rest.clear();
  int depth = 0;
  for (; i != inner.end(); ++i) {
    if (i->empty()) continue;
    rest /= *i;
    ++depth;
  }
  return depth;
}

// The nearest folder at or above `folder` that is a Wine prefix: it holds system.reg (a
// file) and drive_c (a folder). Empty when there is none.
fs::path prefixAbove(fs::path folder) {
  std::error_code ec;
  for (;;) {
    if (fs::is_regular_file(folder / "system.reg", ec) &&
        fs::is_directory(folder / "drive_c", ec)) {
      return folder;
    }
    if (!folder.has_relative_path()) return {};
    folder = folder.parent_path();
  }
}

// `path` absolute, with its links resolved as far as it exists.
fs::path resolved(const std::string& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(fs::path(path), ec);
  if (ec) return {};
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : canonical;
}

// The time stamp of the wine.inf that `wine` updates prefixes from: Wine keeps its data
// in share/wine beside the folder of its programs (/usr/bin/wine: /usr/share/wine;
// /opt/wine/bin/wine: /opt/wine/share/wine), or one level further up for the loader
// itself (/usr/lib/wine/wine). -1 when none is found.
int64_t wineInfTime(const std::string& wine) {
  std::vector<fs::path> folders{fs::path(wine).parent_path()};
  std::error_code ec;
  const fs::path real = fs::canonical(wine, ec);
  if (!ec) folders.push_back(real.parent_path());
  for (const fs::path& folder : folders) {
    for (const char* up : {"../share/wine/wine.inf", "../../share/wine/wine.inf"}) {
      struct stat st {};
      if (::stat((folder / up).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mtime;
    }
  }
  return -1;
}

class PosixWine : public Wine {
 public:
  std::string find() override {
    const char* path = std::getenv("PATH");
    std::string search;
    if (path != nullptr) {
      search = path;
    } else {
      // No PATH at all: the system's default search path, as the shell would use.
      search.resize(::confstr(_CS_PATH, nullptr, 0));
      if (!search.empty()) ::confstr(_CS_PATH, search.data(), search.size());
      search = search.c_str();
    }
    size_t start = 0;
    while (start <= search.size()) {
      size_t end = search.find(':', start);
      if (end == std::string::npos) end = search.size();
      std::string directory = search.substr(start, end - start);
      start = end + 1;
      if (directory.empty()) directory = ".";  // an empty entry is the current directory
      const std::string candidate = directory + "/wine";
      if (isExecutableFile(candidate)) return utf8ToAnsi(candidate);
    }
    return "";
  }

  std::string windowsPath(const std::string& path) override {
    if (path.size() >= 2 && path[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(path[0])) != 0) {
      return path;
    }
    std::error_code ec;
    const fs::path host = fs::weakly_canonical(fs::absolute(fs::path(hostPath(path)), ec), ec);
    if (ec) return "";
    const fs::path devices = fs::path(winePrefix()) / "dosdevices";
    // The drive nearest to the path (the fewest components below its folder); of two
    // as near, the first letter.
    std::string best;
    int bestDepth = -1;
    char bestLetter = 0;
    for (const auto& entry : fs::directory_iterator(devices, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.size() != 2 || name[1] != ':' ||
          std::isalpha(static_cast<unsigned char>(name[0])) == 0) {
        continue;
      }
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
      const fs::path folder = driveFolder(entry.path());
      if (folder.empty()) continue;
      fs::path rest;
      const int depth = depthBelow(folder, host, rest);
      if (depth < 0) continue;
      if (bestDepth >= 0 && (depth > bestDepth || (depth == bestDepth && letter > bestLetter))) {
        continue;
      }
      std::string windows = rest.string();
      for (char& c : windows) {
        if (c == '/') c = '\\';
      }
      best = std::string(1, letter) + ":\\" + windows;
      bestDepth = depth;
      bestLetter = letter;
    }
    return utf8ToAnsi(best);
  }

  void usePrefixHolding(const std::string& folder) override {
    const fs::path host = resolved(hostPath(folder));
    if (host.empty()) return;
    if (const char* named = std::getenv("WINEPREFIX"); named != nullptr && *named != '\0') {
      fs::path rest;
      if (depthBelow(resolved(named), host, rest) >= 0) return;
    }
    const fs::path prefix = prefixAbove(host);
    if (!prefix.empty()) ::setenv("WINEPREFIX", prefix.c_str(), 1);
  }

  std::string prefixName() override {
    const char* named = std::getenv("WINEPREFIX");
    return named != nullptr && *named != '\0' ? utf8ToAnsi(named) : "~/.wine";
  }

  // Wine's own rule, applied by wineboot when the first program of a session starts: the
  // prefix's marker .update-timestamp holds the time stamp of the wine.inf it was last
  // updated from, or "disable"; any other number, or no marker, and Wine updates the
  // prefix (and writes its own time stamp). A marker Wine cannot open stops it too. A
  // folder that holds no registry yet is no prefix anyone set up: Wine makes one there.
  bool wouldUpdatePrefix(const std::string& wine) override {
    struct stat st {};
    if (::stat((winePrefix() + "/system.reg").c_str(), &st) != 0) return false;
    const std::string marker = winePrefix() + "/.update-timestamp";
    const int fd = ::open(marker.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    char buffer[100] = {};
    const ssize_t count = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (count < 0) return false;
    if (std::strncmp(buffer, "disable", 7) == 0) return false;
    // A Wine whose wine.inf is not found cannot be told apart from another: ask.
    const int64_t stamp = wineInfTime(ansiToUtf8(wine));
    if (stamp < 0) return true;
    return std::strtoull(buffer, nullptr, 10) != static_cast<unsigned long long>(stamp);
  }

  // The system's 32-bit dynamic loader, started to print its version: a kernel that runs
  // no 32-bit programs refuses it with ENOEXEC. Without one (no 32-bit C library) nothing
  // can be told.
  bool runs32BitPrograms() override {
    static const char* const kLoader32 = "/lib/ld-linux.so.2";
    if (::access(kLoader32, X_OK) != 0) return true;
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) return true;
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(kLoader32), const_cast<char*>("--version"), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, kLoader32, &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned == ENOEXEC) return false;
    if (spawned != 0) return true;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
  }

  Result<int> run(const std::string& wine, const std::vector<std::string>& arguments,
                  const std::vector<std::pair<std::string, std::string>>& environment) override {
    std::vector<std::string> argumentTexts{ansiToUtf8(wine)};
    for (const auto& argument : arguments) argumentTexts.push_back(ansiToUtf8(argument));

    // This process's environment, with the given variables set.
    std::map<std::string, std::string> changed;
    for (const auto& [name, value] : environment) changed[name] = ansiToUtf8(value);
    std::vector<std::string> environmentTexts;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string text = *variable;
      const std::string name = text.substr(0, text.find('='));
      if (changed.count(name) == 0) environmentTexts.push_back(text);
    }
    for (const auto& [name, value] : changed) environmentTexts.push_back(name + "=" + value);

    std::vector<char*> argv;
    for (auto& text : argumentTexts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& text : environmentTexts) envp.push_back(text.data());
    envp.push_back(nullptr);

    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), envp.data());
    if (spawned != 0) {
      return Status(Code::kUnusable, argumentTexts[0] + ": " + std::strerror(spawned), spawned);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
      if (errno != EINTR) {
        const int waitError = errno;
        return Status(Code::kUnusable,
                      "waiting for " + argumentTexts[0] + ": " + std::strerror(waitError),
                      waitError);
      }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 1;  // ended by a signal: the program ended at once
  }
};

}  // namespace

template <>
std::unique_ptr<Wine> makeSystemFacility<Wine>() {
  return std::make_unique<PosixWine>();
}

}  // namespace tollwick::platform
