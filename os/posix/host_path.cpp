// Wine-style mapping of program paths to host paths.

#include "os/posix/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/ansi_text.h"

namespace tollwick::platform {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool existsExactly(const std::string& host) {
  struct stat st {};
  return ::lstat(host.c_str(), &st) == 0;
}

// The name in `directory` that equals `component` ignoring case, or "" when none does.
// Both are compared as texts of the program's code page, since that is how it sees them.
std::string findIgnoringCase(const std::string& directory, const std::string& component) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return "";
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    // A name the code page cannot hold reaches the program with '?' in its place: the
    // program cannot name it, so it matches nothing.
    if (!nameableInCodePage(name)) continue;
    if (sameFileName(utf8ToAnsi(name), component)) {
      found = name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string winePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.wine";
}

std::string hostPath(const std::string& programPath, const std::string& prefix) {
  std::string_view rest = programPath;
  std::string host;
  if (rest.size() >= 2 && rest[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(rest[0])) != 0) {
    host.append(prefix).append("/dosdevices/");
    host.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(rest[0]))));
    host.push_back(':');
    rest.remove_prefix(2);
  } else if (!rest.empty() && isSeparator(rest[0])) {
    host.push_back('/');
  }

  // Once a component is missing, nothing below it can exist: stop looking.
  bool lookingUp = true;
  size_t start = 0;
  while (start <= rest.size()) {
    // Separators are found character by character: the second byte of a double-byte
    // character can be the backslash's byte.
    size_t end = findFirstCharacterOf(rest, "\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string component(rest.substr(start, end - start));
    start = end + 1;
    if (component.empty()) continue;

    std::string name = ansiToUtf8(component);
    const std::string directory = host;
    if (!host.empty() && host.back() != '/') host += '/';
    if (lookingUp && component != "." && component != ".." && !existsExactly(host + name)) {
      const std::string match = findIgnoringCase(directory, component);
      if (match.empty()) {
        lookingUp = false;
      } else {
        name = match;
      }
    }
    host += name;
  }
  if ((endsWithCharacter(rest, '\\') || endsWithCharacter(rest, '/')) && !host.empty() &&
      host.back() != '/') {
    host += '/';
  }
  return host;
}

std::string hostPath(const std::string& programPath) { return hostPath(programPath, winePrefix()); }

}  // namespace tollwick::platform
