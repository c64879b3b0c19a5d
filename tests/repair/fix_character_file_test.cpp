#include "repair/fix_character_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <array>
#include <initializer_list>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/seam.h"
#include "platform/testing/forwarding_fs.h"
#include "repair/character_file.h"
#include "runtime/binary_file.h"
#include "runtime/message_box.h"
#include "security/security_library.h"
#include "system/system_data_file.h"
#include "system/system_state.h"
#include "tools/character_file_builder.h"
#include "tools/testing/installation_fixture.h"

namespace tollwick {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ShownBox;
namespace fs = std::filesystem;

constexpr int64_t kBare = charfile::kHeaderEnd;  // 4022
constexpr int64_t kRecord = charfile::kRecordSize;

class FixCharacterFileTest : public kit::InstallationFixture {
 protected:
  FixCharacterFileTest() {
    kit::InstallationOptions options;
    options.omit = {kCharacterFileName};
    signature_ = install(options);
    systemState().systemSignature = signature_;
  }

  std::string characters() const { return gameFile(kCharacterFileName); }
  std::string temp() const { return gameFile(kCharacterTempFileName); }

  // The character file's plain image after the run (must unprotect with the signature).
  std::vector<uint8_t> repaired() {
    auto image = plainImage(characters(), signature_);
    EXPECT_TRUE(image.has_value());
    return image.value_or(std::vector<uint8_t>{});
  }

  static std::vector<uint8_t> recordAt(const std::vector<uint8_t>& image, int64_t position) {
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(position - 1);
    return std::vector<uint8_t>(first, first + kRecord);
  }
  static std::vector<uint8_t> bytesOf(const CharacterRecord& record) {
    return std::vector<uint8_t>(record.begin(), record.end());
  }

  RepairResult repair() { return sysFixBloatedCharacterFile(systemState().header); }

  // A bloated character file with one live record named `name` at `path`.
  void writeCharacters(const std::string& path, const std::string& name) const {
    kit::CharacterFileBuilder file(path);
    file.appendRecord(kit::sampleRecord(1, name), 0, 3000);
    file.setCount(1);
    file.finish(signature_);
  }

  // Hidden files (temporary files of replacements) in `directory`.
  static int hiddenFilesIn(const fs::path& directory) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
      count += entry.path().filename().string().starts_with('.') ? 1 : 0;
    }
    return count;
  }

  static ShownBox errorReport(const std::string& description) {
    return {"Error '" + description +
                "' occurred in (Tollwick)"
                "modSarnSystem:sysFixBloatedCharacterFile!",
            0, "Tollwick", 1};
  }

  int32_t signature_ = 0;
};

TEST_F(FixCharacterFileTest, LiveRecordsAreRenumberedDenselyBehindAFreshHeader) {
  const CharacterRecord a = kit::sampleRecord(1, "Aldric");
  const CharacterRecord b = kit::sampleRecord(2, "Brannoc");
  const CharacterRecord c = kit::sampleRecord(3, "Cerys");
  {
    kit::CharacterFileBuilder file(characters());
    file.appendRecord(c, 7, 100);
    file.appendRecord(a, 0, 5000);
    file.appendRecord(b, 3, 7);
    file.setSlot(5, -4023);  // negative: empty
    file.setCount(3);
    file.padTo(200000);
    file.finish(signature_);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  EXPECT_THAT(dialog_.boxes, IsEmpty());

  const auto image = repaired();
  ASSERT_EQ(image.size(), static_cast<size_t>(12 + 10 + 4000 + 3 * kRecord));
  EXPECT_EQ(fileBytes(characters())->size(), image.size());  // protection keeps the length
  EXPECT_EQ(kit::integerAt(image, 13), 6);
  EXPECT_EQ(std::string(image.begin() + 14, image.begin() + 20), "1.01  ");
  EXPECT_EQ(kit::integerAt(image, 21), 3);
  EXPECT_EQ(kit::longAt(image, slotPosition(0)), 4023);
  EXPECT_EQ(kit::longAt(image, slotPosition(1)), 9808);
  EXPECT_EQ(kit::longAt(image, slotPosition(2)), 15593);
  for (int slot = 3; slot < 1000; ++slot) ASSERT_EQ(kit::longAt(image, slotPosition(slot)), 0);
  EXPECT_EQ(recordAt(image, 4023), bytesOf(a));
  EXPECT_EQ(recordAt(image, 9808), bytesOf(b));
  EXPECT_EQ(recordAt(image, 15593), bytesOf(c));
  EXPECT_FALSE(fileBytes(temp()).has_value());
  EXPECT_TRUE(carriesSignature(characters(), signature_));
}

TEST_F(FixCharacterFileTest, ScanStopsOnceTheOldCountIsReached) {
  {
    kit::CharacterFileBuilder file(characters());
    for (int slot = 0; slot < 4; ++slot) {
      file.appendRecord(kit::sampleRecord(uint32_t(slot), kit::sampleName(slot)), slot);
    }
    file.setCount(2);
    file.finish(signature_);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  const auto image = repaired();
  EXPECT_EQ(kit::integerAt(image, 21), 2);
  EXPECT_EQ(image.size(), static_cast<size_t>(kBare + 2 * kRecord));
  EXPECT_EQ(kit::longAt(image, slotPosition(2)), 0);
}

TEST_F(FixCharacterFileTest, DeadRecordsOfEveryKindAreLeftBehindAndTheCountIsWhatWasKept) {
  {
    kit::CharacterFileBuilder file(characters());
    file.appendRecord(kit::sampleRecord(1, std::string("\0Ghost", 6)), 0);
    file.appendRecord(kit::sampleRecord(2, ""), 1);
    file.appendRecord(kit::sampleRecord(3, "Orphan"), std::nullopt);  // no slot
    file.appendRecord(kit::sampleRecord(4, "   Halda"), 998);
    file.setCount(10);  // more than the file holds: every slot is examined
    file.finish(signature_);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  const auto image = repaired();
  EXPECT_EQ(kit::integerAt(image, 21), 1);
  ASSERT_EQ(image.size(), static_cast<size_t>(kBare + kRecord));
  CharacterRecord expected = kit::sampleRecord(4, "Halda");
  EXPECT_EQ(recordAt(image, 4023), bytesOf(expected));  // leading spaces gone, rest equal
}

TEST_F(FixCharacterFileTest, NothingKeptGivesCountZeroWhateverTheOldCountSaid) {
  {
    kit::CharacterFileBuilder file(characters());
    file.appendRecord(kit::sampleRecord(1, ""), 4);
    file.setCount(3);
    file.finish(signature_);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  const auto image = repaired();
  EXPECT_EQ(kit::integerAt(image, 21), 0);
  EXPECT_EQ(image.size(), static_cast<size_t>(kBare));
}

TEST_F(FixCharacterFileTest, OldCountOfZeroOrLessExaminesNoSlot) {
  for (int16_t count : {int16_t{0}, int16_t{-7}}) {
    {
      kit::CharacterFileBuilder file(characters());
      file.appendRecord(kit::sampleRecord(1, "Aldric"), 0);
      file.setCount(count);
      file.finish(signature_);
    }
    EXPECT_EQ(repair(), RepairResult::kRepaired);
    const auto image = repaired();
    EXPECT_EQ(image.size(), static_cast<size_t>(kBare));
    EXPECT_EQ(kit::integerAt(image, 21), 0);
  }
}

// Forwards to the security library in use and counts its transforms and checks of
// buffers of one length (the data of one character file).
class PassCounter : public SecurityLibrary {
 public:
  explicit PassCounter(int32_t length) : length_(length) {}
  int32_t verify(const void* buffer, int32_t length, int32_t seed) override {
    if (length == length_) ++checks;
    return real_.verify(buffer, length, seed);
  }
  int32_t mangle(void* buffer, int32_t length, int32_t seed, int32_t key) override {
    if (length == length_) ++transforms;
    return real_.mangle(buffer, length, seed, key);
  }
  int32_t makeKey(int32_t check) override { return real_.makeKey(check); }
  int32_t freeKey(int32_t key) override { return real_.freeKey(key); }

  int transforms = 0;
  int checks = 0;

 private:
  int32_t length_;
  SecurityLibrary& real_ = platform::use<SecurityLibrary>();
  platform::Installed<SecurityLibrary> installed_{*this};
};

// The whole run as start-up makes it: the check of every data file, then the repair.
// An unchanged character file goes through the library once (one transform, one
// check); one changed in place or replaced on disk in between is read and checked
// afresh, and the repair keeps what is on disk now.
TEST_F(FixCharacterFileTest, AWholeRunPassesOnceOverAnUnchangedCharacterFile) {
  constexpr int64_t kLength = int64_t{3} << 20;  // large enough for its image to be kept
  const auto write = [&](const std::string& name, const std::string& path) {
    kit::CharacterFileBuilder file(path);
    file.appendRecord(kit::sampleRecord(1, name), 0);
    file.setCount(1);
    file.padTo(kLength);
    file.finish(signature_);
  };
  // Only a file whose last change lies behind it is known to be the same by its times.
  const auto age = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
  const auto run = [&](const std::function<void()>& between) {
    age();
    PassCounter counter(static_cast<int32_t>(kLength - 12));
    EXPECT_EQ(sysLoadSystemDataFile(), LoadResult::kLoaded);
    between();
    EXPECT_EQ(repair(), RepairResult::kRepaired);
    return std::pair(counter.transforms, counter.checks);
  };

  write("Aldric", characters());
  EXPECT_EQ(run([] {}), std::pair(1, 1));
  EXPECT_EQ(recordAt(repaired(), 4023), bytesOf(kit::sampleRecord(1, "Aldric")));

  write("Brannoc", characters() + ".new");
  write("Aldric", characters());
  EXPECT_EQ(run([&] {
              std::filesystem::rename(characters() + ".new", characters());
              age();
            }),
            std::pair(2, 2));
  EXPECT_EQ(recordAt(repaired(), 4023), bytesOf(kit::sampleRecord(1, "Brannoc")));

  write("Cerys", characters());
  const auto cerys = fileBytes(characters());
  write("Aldric", characters());
  EXPECT_EQ(run([&] {
              writeHostFile(characters(), *cerys);  // the same file rewritten in place
              age();
            }),
            std::pair(2, 2));
  EXPECT_EQ(recordAt(repaired(), 4023), bytesOf(kit::sampleRecord(1, "Cerys")));
  EXPECT_THAT(dialog_.boxes, IsEmpty());
}

TEST_F(FixCharacterFileTest, LeftOverTempFileIsReplacedAndGoneAfterwards) {
  writeHostFile(temp(), std::vector<uint8_t>(100000, 0xEE));
  {
    kit::CharacterFileBuilder file(characters());
    file.appendRecord(kit::sampleRecord(1, "Aldric"), 0);
    file.setCount(1);
    file.finish(signature_);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  EXPECT_FALSE(fileBytes(temp()).has_value());
  EXPECT_EQ(repaired().size(), static_cast<size_t>(kBare + kRecord));
}

TEST_F(FixCharacterFileTest, NoCharacterFileDoesNothingAtAll) {
  EXPECT_EQ(repair(), RepairResult::kNothingDone);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
  EXPECT_FALSE(fileBytes(characters()).has_value());
  EXPECT_FALSE(fileBytes(temp()).has_value());
}

TEST_F(FixCharacterFileTest, FileThatDoesNotUnprotectShows3257AndChangesNothing) {
  {
    kit::CharacterFileBuilder file(characters());
    file.appendRecord(kit::sampleRecord(1, "Aldric"), 0);
    file.setCount(1);
    file.finish(signature_ ^ 0x0F0F0F0F);  // another system's signature
  }
  const auto before = fileBytes(characters());
  clearFailureReported();
  EXPECT_EQ(repair(), RepairResult::kNotUnprotected);
  EXPECT_THAT(dialog_.boxes, ElementsAre(ShownBox{"<3257>", 0, "Tollwick", 1}));
  EXPECT_TRUE(failureReported()) << "the run would end with exit code 0";
  EXPECT_EQ(fileBytes(characters()), before);
  EXPECT_FALSE(fileBytes(temp()).has_value());
}

// A slot whose record runs past the end of the file is damage: the repair stops with
// its error report and nothing is replaced or left behind.
TEST_F(FixCharacterFileTest, SlotOutsideTheFileStopsTheRepairWithNothingReplaced) {
  for (int32_t badSlot : {int32_t{1} << 30, int32_t{4023 + 5785 + 1}}) {
    abandonAllFiles();  // the stopped run of the last round left its files open
    dialog_.boxes.clear();
    {
      kit::CharacterFileBuilder file(characters());
      file.appendRecord(kit::sampleRecord(1, "Aldric"), 0);
      file.setSlot(1, badSlot);
      file.setCount(2);
      file.finish(signature_);
    }
    const auto before = fileBytes(characters());
    EXPECT_EQ(repair(), RepairResult::kNothingDone);
    EXPECT_THAT(dialog_.boxes,
                ElementsAre(ShownBox{"Error 'Input past end of file' occurred in (Tollwick)"
                                     "modSarnSystem:sysFixBloatedCharacterFile!",
                                     0, "Tollwick", 1}));
    EXPECT_EQ(fileBytes(characters()), before);
    EXPECT_FALSE(fileBytes(temp()).has_value());
  }
}

// The real file system, except that the game saves its character file while the
// repair runs: after the repair read it, when the compacted copy is committed, or at the
// very moment the compacted copy takes its place.
class GameSavingFs : public testing::ForwardingFs {
 public:
  std::function<void()> save;
  bool atPlacement = false;
  Status rename(const std::string& from, const std::string& to) override {
    saveBefore(to);
    return ForwardingFs::rename(from, to);
  }
  Status exchange(const std::string& from, const std::string& to) override {
    saveBefore(to);
    return ForwardingFs::exchange(from, to);
  }

 private:
  void saveBefore(const std::string& to) {
    const char* target = atPlacement ? kCharacterFileName : kCharacterTempFileName;
    if (save && to.ends_with(target)) std::exchange(save, nullptr)();
  }
};

// A save after the read is caught everywhere; one at the very moment of the
// replacement only where the file system can exchange two files (Linux).
#ifdef _WIN32
constexpr bool kSaveMoments[] = {false};
#else
constexpr bool kSaveMoments[] = {false, true};
#endif

// Replaced by a new file, rewritten in place with the same length (a file read long
// enough ago that the file system vouches for it, and one just written), after the read
// or at the moment of the replacement itself: the save stays, the compacted copy of the
// older contents is discarded and the report says so.
TEST_F(FixCharacterFileTest, ASaveMadeDuringTheRepairIsNeverReplaced) {
  const std::string saveFile = root() + "/save.DED";
  writeCharacters(saveFile, "Brannoc");
  const auto saved = fileBytes(saveFile);
  for (const bool atPlacement : kSaveMoments) {
    for (const char* how : {"replaced", "rewritten", "rewritten at once"}) {
      SCOPED_TRACE(std::string(how) + (atPlacement ? " as the copy takes its place" : ""));
      abandonAllFiles();
      dialog_.boxes.clear();
      writeCharacters(characters(), "Aldric");
      ASSERT_EQ(fileBytes(characters())->size(), saved->size());
      if (std::string(how) != "rewritten at once") {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
      }
      GameSavingFs game;
      game.atPlacement = atPlacement;
      game.save = [&] {
        if (std::string(how) == "replaced") {
          fs::copy_file(saveFile, characters() + ".new");
          fs::rename(characters() + ".new", characters());
        } else {
          writeHostFile(characters(), *saved);  // the same inode, the same length
        }
      };
      platform::Installed<platform::FileSystem> installed(game);
      EXPECT_EQ(repair(), RepairResult::kNothingDone);
      EXPECT_THAT(dialog_.boxes, ElementsAre(errorReport("Path/File access error")));
      EXPECT_TRUE(fileBytes(characters()) == saved) << "the save was lost";
      EXPECT_FALSE(fileBytes(temp()).has_value());
      EXPECT_EQ(hiddenFilesIn(systemDirectory()), 0);
    }
  }
}

// POSIX modes, owners and mounts.
#ifndef _WIN32
// The value of a POSIX access ACL as the kernel stores it: a version, then entries of
// tag, permissions and id (written here from the kernel's documented layout).
std::vector<uint8_t> posixAcl(std::initializer_list<std::array<uint32_t, 3>> entries) {
  std::vector<uint8_t> out = {2, 0, 0, 0};
  for (const auto& [tag, permissions, id] : entries) {
    for (const uint32_t field : {tag | permissions << 16, id}) {
      for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(field >> shift));
    }
  }
  return out;
}

std::vector<uint8_t> extendedAttribute(const std::string& path, const char* name) {
  std::vector<uint8_t> value(4096);
  const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(size < 0 ? 0 : static_cast<size_t>(size));
  return value;
}

// The compacted file takes the old one's mode (not the umask's), and its owner and
// group where the process may set them; a file its owner made read-only is refused.
TEST_F(FixCharacterFileTest, TheRepairKeepsWhatTheOwnerSetOnTheCharacterFile) {
  const mode_t umaskBefore = ::umask(022);
  writeCharacters(characters(), "Aldric");
  ASSERT_EQ(::chmod(characters().c_str(), 0660), 0);  // a mode the umask would narrow
  // An extended attribute and an ACL (user 12345 may read and write), which the new
  // file must carry as the old one did.
  const std::string note = "the player's note";
  ASSERT_EQ(::setxattr(characters().c_str(), "user.note", note.data(), note.size(), 0), 0);
  const std::vector<uint8_t> acl =
      posixAcl({{0x01, 6, ~0u}, {0x02, 6, 12345}, {0x04, 6, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}});
  ASSERT_EQ(::setxattr(characters().c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0),
            0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(characters().c_str(), 4321, 4322), 0);
  }
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  struct stat st {};
  ASSERT_EQ(::stat(characters().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(extendedAttribute(characters(), "user.note"),
            std::vector<uint8_t>(note.begin(), note.end()));
  EXPECT_EQ(extendedAttribute(characters(), "system.posix_acl_access"), acl);

  // Two names of one file: not replaced, both keep the old bytes.
  writeCharacters(characters(), "Aldric");
  const std::string otherName = systemRoot() + "/characters-backup.DED";
  ASSERT_EQ(::link(characters().c_str(), otherName.c_str()), 0);
  const auto linked = fileBytes(characters());
  dialog_.boxes.clear();
  EXPECT_EQ(repair(), RepairResult::kNothingDone);
  EXPECT_THAT(dialog_.boxes, ElementsAre(errorReport("Path/File access error")));
  EXPECT_EQ(fileBytes(characters()), linked);
  EXPECT_EQ(fileBytes(otherName), linked);
  struct stat other {};
  ASSERT_EQ(::stat(characters().c_str(), &st), 0);
  ASSERT_EQ(::stat(otherName.c_str(), &other), 0);
  EXPECT_EQ(st.st_ino, other.st_ino);
  ASSERT_EQ(::unlink(otherName.c_str()), 0);
  dialog_.boxes.clear();

  writeCharacters(characters(), "Aldric");
  ASSERT_EQ(::chmod(characters().c_str(), 0444), 0);
  const auto before = fileBytes(characters());
  EXPECT_EQ(repair(), RepairResult::kNothingDone);
  EXPECT_THAT(dialog_.boxes, ElementsAre(errorReport("Path/File access error")));
  EXPECT_EQ(fileBytes(characters()), before);
  ASSERT_EQ(::stat(characters().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_FALSE(fileBytes(temp()).has_value());
  EXPECT_EQ(hiddenFilesIn(systemDirectory()), 0);
  ::umask(umaskBefore);
}

// A writable directory on another file system than `near`, made for one test and
// removed afterwards; empty when there is none (a tmpfs such as /dev/shm usually is).
class DirectoryOnAnotherFileSystem {
 public:
  explicit DirectoryOnAnotherFileSystem(const std::string& near) {
    struct stat here {};
    if (::stat(near.c_str(), &here) != 0) return;
    std::vector<std::string> candidates = {"/dev/shm"};
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) candidates.push_back(runtime);
    for (const std::string& candidate : candidates) {
      struct stat there {};
      if (::stat(candidate.c_str(), &there) != 0 || there.st_dev == here.st_dev) continue;
      std::string pattern = candidate + "/tollwick-link-XXXXXX";
      if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
        return;
      }
    }
  }
  ~DirectoryOnAnotherFileSystem() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The character file is a link into another file system: the compacted file is written
// beside the link's target and replaces it there, the link stays a link to the new
// contents, and nothing is left behind on either side.
TEST_F(FixCharacterFileTest, ACharacterFileLinkedIntoAnotherFileSystemIsRepairedWhereItLies) {
  const DirectoryOnAnotherFileSystem elsewhere(systemDirectory());
  if (elsewhere.path().empty()) {
    GTEST_SKIP() << "no writable directory on another file system than " << systemDirectory()
                 << " (tried /dev/shm and $XDG_RUNTIME_DIR)";
  }
  const std::string target = elsewhere.path() + "/" + kCharacterFileName;
  writeCharacters(target, "Aldric");
  fs::create_symlink(target, characters());
  EXPECT_EQ(repair(), RepairResult::kRepaired);
  EXPECT_THAT(dialog_.boxes, IsEmpty());
  EXPECT_TRUE(fs::is_symlink(characters()));
  EXPECT_EQ(fs::read_symlink(characters()), target);
  EXPECT_EQ(repaired().size(), static_cast<size_t>(kBare + kRecord));
  EXPECT_FALSE(fileBytes(temp()).has_value());
  EXPECT_EQ(hiddenFilesIn(systemDirectory()), 0);
  EXPECT_EQ(hiddenFilesIn(elsewhere.path()), 0);
}
#endif  // _WIN32

}  // namespace
}  // namespace tollwick
