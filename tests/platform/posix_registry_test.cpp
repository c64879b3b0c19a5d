// The registry file of a real Wine prefix directory: atomic replacement, the running
// wineserver's lock, and (when Wine is installed) Wine itself reading what we wrote.

#include "format_facilities/registry.h"
#include "os/posix/wine_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "platform/seam.h"
#include "platform/testing/other_writer_fs.h"
#include "settings/registry_values.h"

namespace tollwick::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void spit(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

class TempPrefix {
 public:
  TempPrefix() {
    std::string pattern = fs::path(::testing::TempDir()) / "tollwick-prefix-XXXXXX";
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempPrefix() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const std::string kSettings =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
    "[Software\\\\Wow6432Node\\\\Varnholt\\\\Zelkor] 1796619687\n#time=1dd8608042a6cde\n"
    "\"WipeSystem\"=\"T\"\n"
    "\"WorkingDirectory\"=\"C:\\\\Games\\\\Zelkor\"\n";

bool writeWipeSystem(Registry& registry, const std::string& text) {
  Installed<Registry> installed(registry);
  return regWriteValue(kHkeyLocalMachine, "SOFTWARE\\Varnholt\\Zelkor", "WipeSystem", 1, text);
}

TEST(PosixRegistry, AWriteReplacesTheFileALinkPointsAtAndKeepsItsModeAndAttributes) {
  TempPrefix prefix;
  fs::create_directory(prefix.path() / "real");
  const fs::path real = prefix.path() / "real" / "system.reg";
  spit(real, kSettings);
  const mode_t umaskBefore = ::umask(022);  // would narrow a mode the write did not restore
  ::chmod(real.c_str(), 0660);
  const std::string note = "the player's note";
  ASSERT_EQ(::setxattr(real.c_str(), "user.note", note.data(), note.size(), 0), 0);
  fs::create_symlink("real/system.reg", prefix.path() / "system.reg");
  const auto registry = makeWinePrefixRegistry(prefix.path());

  EXPECT_TRUE(writeWipeSystem(*registry, "F"));
  EXPECT_TRUE(fs::is_symlink(prefix.path() / "system.reg"));
  std::string expected = kSettings;
  expected.replace(expected.find("\"WipeSystem\"=\"T\""), 16, "\"WipeSystem\"=hex(1):46,00");
  EXPECT_EQ(slurp(real), expected);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  std::string kept(64, '\0');
  kept.resize(static_cast<size_t>(
      std::max<ssize_t>(0, ::getxattr(real.c_str(), "user.note", kept.data(), kept.size()))));
  EXPECT_EQ(kept, note);
  ::umask(umaskBefore);
  for (const auto& entry : fs::directory_iterator(prefix.path() / "real")) {
    EXPECT_EQ(entry.path().filename(), "system.reg") << "a temporary file was left";
  }
}

// The registry file is a file the owner may protect like the game's: read-only, it is
// never replaced (even by root), the write failing as the registry function's failure.
// A temporary an interrupted write left beside it goes at the next run's first look at
// the file, whether or not that run writes; a hidden file of the player's that merely
// looks alike stays.
TEST(PosixRegistry, AReadOnlyFileIsNeverReplacedAndLeftOverTemporariesGo) {
  TempPrefix prefix;
  const fs::path file = prefix.path() / "system.reg";
  spit(file, kSettings);
  ::chmod(file.c_str(), 0444);
  const auto registry = makeWinePrefixRegistry(prefix.path());
  EXPECT_FALSE(writeWipeSystem(*registry, "F"));
  EXPECT_EQ(slurp(file), kSettings);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);

  ::chmod(file.c_str(), 0644);
  spit(prefix.path() / ".system.reg.tw-0badf00d", "half a registry");
  spit(prefix.path() / ".save-20240115", "the player's");
  spit(prefix.path() / ".system.reg.tw-0badf00d.bak", "the player's");
  const auto nextRun = makeWinePrefixRegistry(prefix.path());
  EXPECT_TRUE(
      nextRun->readValue(reg::kLocalMachine, "Software\\Varnholt\\Zelkor", "WipeSystem").ok());
  EXPECT_FALSE(fs::exists(prefix.path() / ".system.reg.tw-0badf00d"));
  EXPECT_TRUE(writeWipeSystem(*nextRun, "F"));
  EXPECT_TRUE(fs::exists(prefix.path() / ".save-20240115"));
  EXPECT_TRUE(fs::exists(prefix.path() / ".system.reg.tw-0badf00d.bak"));
  EXPECT_EQ(std::distance(fs::directory_iterator(prefix.path()), {}), 3);
}

// The other writer's value stays; the wipe request's write fails as the registry
// function's failure, which leaves the request for the next start.
TEST(PosixRegistry, AWriterThatSavesDuringTheRewriteKeepsItsValue) {
  const std::string theirs = kSettings + "\"Theirs\"=\"kept\"\n";
  for (const bool atPlacement : {false, true}) {
    SCOPED_TRACE(atPlacement ? "saved as the rewrite takes its place" : "saved before");
    TempPrefix prefix;
    const fs::path file = prefix.path() / "system.reg";
    spit(file, kSettings);
    testing::OtherWriterFs files;
    files.file = "system.reg";
    files.atPlacement = atPlacement;
    files.save = [&] {
      spit(prefix.path() / "system.reg.new", theirs);
      fs::rename(prefix.path() / "system.reg.new", file);
    };
    const auto registry = wine::makeWinePrefixRegistry(files, winePrefixLocation(prefix.path()));
    EXPECT_FALSE(writeWipeSystem(*registry, "F"));
    EXPECT_EQ(slurp(file), theirs) << "the other writer's value was lost";
    EXPECT_EQ(std::distance(fs::directory_iterator(prefix.path()), {}), 1);
  }
}

TEST(PosixRegistry, WithoutAPrefixDirectoryNothingIsCreated) {
  TempPrefix prefix;
  const auto registry = makeWinePrefixRegistry(prefix.path() / "missing");
  EXPECT_EQ(registry->readValue(reg::kLocalMachine, "Software", "").status(), Code::kNotFound);
  EXPECT_EQ(registry->createKey(reg::kLocalMachine, "Software\\X"), Code::kNotFound);
  EXPECT_FALSE(fs::exists(prefix.path() / "missing"));
}

// Another process takes the wineserver's lock as the server does (an fcntl write lock
// on "<server dir>/server-<dev>-<inode>/lock", the server dir named in the prefix).
TEST(PosixRegistry, WritesWaitForTheWineserverToLetGoOfItsLock) {
  TempPrefix prefix;
  TempPrefix serverRoot;
  spit(prefix.path() / "system.reg", kSettings);
  spit(prefix.path() / "wineserver", serverRoot.path().string());
  struct stat st {};
  ASSERT_EQ(::stat(prefix.path().c_str(), &st), 0);
  char name[64];
  std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  fs::create_directory(serverRoot.path() / name);
  const fs::path lockFile = serverRoot.path() / name / "lock";
  spit(lockFile, "");
  const auto registry = makeWinePrefixRegistry(prefix.path());
  EXPECT_FALSE(wineServerRunning(prefix.path()));

  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(30);  // never outlive a test that went wrong
    ::close(ready[0]);
    ::close(release[1]);  // or the read below would never see the end
    const int fd = ::open(lockFile.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
    (void)!::write(ready[1], &ok, 1);
    char unused;
    (void)!::read(release[0], &unused, 1);  // until the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  char ok = 'n';
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');

  EXPECT_TRUE(wineServerRunning(prefix.path()));
  EXPECT_FALSE(writeWipeSystem(*registry, "F"));
  EXPECT_EQ(slurp(prefix.path() / "system.reg"), kSettings);

  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(ready[0]);
  EXPECT_FALSE(wineServerRunning(prefix.path()));
  EXPECT_TRUE(writeWipeSystem(*registry, "F"));
  EXPECT_NE(slurp(prefix.path() / "system.reg"), kSettings);
}

// Wine's own programs, when installed (Debian: the wine64 package).
std::string wineProgram() {
  for (const char* candidate : {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine"}) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return "";
}

// Runs `command` and returns what it printed. Through a file, not a pipe: the
// wineserver it starts keeps its output open after the command ends.
std::string run(const std::string& command) {
  const fs::path output = fs::path(::testing::TempDir()) /
                          ("tollwick-wine-output-" + std::to_string(::getpid()) + ".txt");
  const int status = std::system((command + " > '" + output.string() + "' 2>&1").c_str());
  (void)status;
  std::string text = slurp(output);
  fs::remove(output);
  return text;
}

TEST(PosixRegistry, WineReadsWhatWeWroteAndWeReadWhatWineWrote) {
  const std::string wine = wineProgram();
  if (wine.empty()) GTEST_SKIP() << "Wine is not installed";
  const std::string server = fs::path(wine).parent_path() / "wineserver";
  TempPrefix prefix;
  const std::string env = "WINEPREFIX='" + prefix.path().string() + "' WINEDEBUG=-all ";
  // Stops the prefix's wineserver and removes the server directory Debian's Wine made
  // for it (named in "<prefix>/wineserver", below /tmp), however the test ends.
  struct ServerCleanup {
    std::string command;
    fs::path prefix;
    ~ServerCleanup() {
      run(command + " -k");
      run(command + " -w");
      std::string name = slurp(prefix / "wineserver");
      while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
      if (!name.empty() && name.find('/') == std::string::npos) fs::remove_all("/tmp/" + name);
    }
  } cleanup{env + server, prefix.path()};
  const std::string key = "'HKLM\\Software\\Varnholt\\Zelkor'";
  // The first command makes the prefix; its wineserver then lingers a few seconds.
  run(env + wine + " reg add " + key +
      " /v WorkingDirectory /t REG_SZ /d 'C:\\Games\\Zelkor' /f /reg:32");
  run(env + wine + " reg add " + key + " /v WipeSystem /t REG_SZ /d T /f /reg:32");
  const auto registry = makeWinePrefixRegistry(prefix.path());
  // The server lingers for three seconds after its last client: long enough to see it.
  EXPECT_TRUE(wineServerRunning(prefix.path()));
  const std::string before = slurp(prefix.path() / "system.reg");
  EXPECT_FALSE(writeWipeSystem(*registry, "F"));
  EXPECT_EQ(slurp(prefix.path() / "system.reg"), before);
  run(env + server + " -w");
  ASSERT_FALSE(wineServerRunning(prefix.path()));

  {
    Installed<Registry> installed(*registry);
    EXPECT_EQ(regReadValue(kHkeyLocalMachine, "SOFTWARE\\Varnholt\\Zelkor", "WorkingDirectory"),
              "C:\\Games\\Zelkor");
    EXPECT_EQ(regReadValue(kHkeyLocalMachine, "SOFTWARE\\Varnholt\\Zelkor", "WipeSystem"), "T");
  }
  EXPECT_TRUE(writeWipeSystem(*registry, "caf\xE9 \"q\" \\ F"));
  const std::string created = "SOFTWARE\\Varnholt\\Zelkor\\Sub [1]";
  ASSERT_TRUE(registry->createKey(reg::kLocalMachine, created).ok());
  EXPECT_TRUE(
      registry->writeValue(reg::kLocalMachine, created, "Count", {reg::kDword, "\x1A\0\0\0"s})
          .ok());
  EXPECT_TRUE(registry->writeValue(reg::kLocalMachine, created, "Gone", {reg::kSz, "x"}).ok());
  EXPECT_TRUE(registry->deleteValue(reg::kLocalMachine, created, "gone").ok());
  const std::string subKey =
      run(env + wine + " reg query 'HKLM\\Software\\Varnholt\\Zelkor\\Sub [1]' /reg:32");
  EXPECT_NE(subKey.find("Count    REG_DWORD    0x1a"), std::string::npos) << subKey;
  EXPECT_EQ(subKey.find("Gone"), std::string::npos) << subKey;
  const std::string shown = run(env + wine + " reg query " + key + " /v WipeSystem /reg:32");
  // reg prints in the OEM code page; the rest of the line is plain ASCII.
  EXPECT_NE(shown.find("WipeSystem    REG_SZ    caf"), std::string::npos) << shown;
  EXPECT_NE(shown.find(" \"q\" \\ F\r\n"), std::string::npos) << shown;
  // A value Wine itself wrote, deleted: its line goes, the key's other values stay.
  run(env + server + " -w");
  EXPECT_TRUE(
      registry->deleteValue(reg::kLocalMachine, "SOFTWARE\\Varnholt\\Zelkor", "WorkingDirectory")
          .ok());
  const std::string left = run(env + wine + " reg query " + key + " /reg:32");
  EXPECT_NE(left.find("WipeSystem    REG_SZ"), std::string::npos) << left;
  EXPECT_EQ(left.find("WorkingDirectory"), std::string::npos) << left;
}

}  // namespace
}  // namespace tollwick::platform
