#include "resources/cls_resource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "formats/testing/pe_file_builder.h"
#include "platform/ansi_text.h"
#include "platform/testing/fake_resources.h"
#include "platform/testing/scratch_directory.h"
#include "resources/game_strings.h"

namespace tollwick {
namespace {

using pe::testing::edgeDll;
using pe::testing::readAll;
using pe::testing::sampleDll;

// The string table of the sample library's source: id -> text in the code page.
std::map<int32_t, std::string> stringsOfSource() {
  std::ifstream in(pe::testing::sampleRc());
  const std::regex entry(R"re(^\s*(\d+),\s*"(.*)"\s*$)re");
  std::map<int32_t, std::string> strings;
  std::string line;
  while (std::getline(in, line)) {
    std::smatch m;
    if (!std::regex_match(line, m, entry)) continue;
    std::string text = m[2];
    for (std::size_t at = text.find("\"\""); at != std::string::npos;
         at = text.find("\"\"", at + 1)) {
      text.erase(at, 1);  // "" stands for one quote
    }
    strings[std::stoi(m[1])] = utf8ToAnsi(text);
  }
  return strings;
}

void expectRecord(const clsResource& res, int32_t number, const std::string& description) {
  EXPECT_EQ(res.lastError().number, number);
  EXPECT_EQ(res.lastError().description, description);
}

std::string assetText(const std::string& name) {
  const auto bytes = readAll(std::string(TOLLWICK_SOURCE_DIR) + "/sample/assets/" + name);
  return std::string(bytes.begin(), bytes.end());
}

// A new directory of its own under the temporary directory (test runs may overlap).
class ClsResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res.DllName(sampleDll());
    ASSERT_EQ(res.DllName(), sampleDll()) << "the build makes " << sampleDll();
  }
  clsResource res;
};

TEST_F(ClsResourceTest, EveryGameStringReadsBackAsTheSourceWritesIt) {
  const auto source = stringsOfSource();
  for (const std::string& dll : {sampleDll(), pe::testing::sample32Dll()}) {
    res.DllName(dll);
    ASSERT_EQ(res.DllName(), dll);
    for (int32_t id : kAllGameStringIds) {
      ASSERT_EQ(source.count(id), 1u) << "Zelkor.rc lacks game string " << id;
      EXPECT_EQ(res.LoadDllString(id), source.at(id)) << dll << " id " << id;
      expectRecord(res, 0, "");
    }
  }
  // The wipe is not asked again once the text written back is in place.
  EXPECT_EQ(source.at(gs::kWipeDoneValue).find('T'), std::string::npos);
  EXPECT_NE(source.at(gs::kCharacterFileLocked).find('\x92'), std::string::npos);  // U+2019
}

TEST_F(ClsResourceTest, GameStringsComeFromTheSharedInstance) {
  gResource().DllName(sampleDll());
  EXPECT_EQ(gameString(gs::kDefaultSystemName), "Zelkor");
  gResource().DllName("");
  EXPECT_EQ(gameString(gs::kDefaultSystemName), "");
}

TEST_F(ClsResourceTest, LengthCutsTextsAndZeroOrMissingIdsRecordNotFound) {
  EXPECT_EQ(res.LoadDllString(gs::kWipeCaption, 4), "Wipe");
  expectRecord(res, 0, "");
  EXPECT_EQ(res.LoadDllString(gs::kWipeCaption, 0), "");
  expectRecord(res, 326, "String resource with identifier 256 not found.");
  EXPECT_EQ(res.LoadDllString(999), "");
  expectRecord(res, 326, "String resource with identifier 999 not found.");
  EXPECT_EQ(res.LoadDllString(0), "");
  expectRecord(res, 326, "String resource with identifier 0 not found.");
  EXPECT_EQ(res.LoadDllString(-7), "");
  expectRecord(res, 326, "String resource with identifier -7 not found.");
  // Each call starts from a clean record.
  EXPECT_EQ(res.LoadDllString(gs::kWipeDoneValue), "F");
  expectRecord(res, 0, "");
}

TEST_F(ClsResourceTest, AnEmptyEntryIsNotFound) {
  res.DllName(edgeDll());
  EXPECT_EQ(res.LoadDllString(2), "");
  expectRecord(res, 326, "String resource with identifier 2 not found.");
}

TEST(ClsResource, ALibraryThatDoesNotLoadLeavesNoNameAndNoTexts) {
  clsResource res;
  const std::string path = "/no/such/dir/Zelkor.dll";
  res.DllName(path);
  EXPECT_EQ(res.DllName(), "");
  expectRecord(res, 48, "Error in loading DLL: " + path);
  EXPECT_EQ(res.LoadDllString(gs::kWipePrompt), "");
  expectRecord(res, 326, "String resource with identifier 255 not found.");
  res.DllName(pe::testing::sampleRc());  // a file, but not a library
  EXPECT_EQ(res.DllName(), "");
  expectRecord(res, 48, "Error in loading DLL: " + pe::testing::sampleRc());
}

TEST(ClsResource, AssigningDllNameTwiceReleasesTheFirstLibrary) {
  testing::FakeResourceLoader loader;
  platform::Installed<platform::ResourceLoader> installed(loader);
  loader.libraries["a.dll"] = {{1, "first"}};
  loader.libraries["b.dll"] = {{1, "second"}};
  {
    clsResource res;
    res.DllName("a.dll");
    EXPECT_EQ(loader.live, 1);
    res.DllName("b.dll");
    EXPECT_EQ(loader.live, 1);  // the first was released before the second loaded
    EXPECT_EQ(res.LoadDllString(1), "second");
    res.DllName("missing.dll");
    EXPECT_EQ(loader.live, 0);  // a failed load leaves none held
  }
  EXPECT_EQ(loader.loads, 3);
}

TEST(ClsResource, AReleasedLibraryFileCanBeReplacedAndDeleted) {
  namespace fs = std::filesystem;
  const testing::ScratchDirectory dir("tollwick-res-");
  const fs::path first = dir.path() / "first.dll";
  fs::copy_file(sampleDll(), first, fs::copy_options::overwrite_existing);
  clsResource res;
  res.DllName(first.string());
  EXPECT_EQ(res.LoadDllString(gs::kDefaultSystemName), "Zelkor");
  res.DllName(edgeDll());
  fs::copy_file(edgeDll(), first, fs::copy_options::overwrite_existing);
  EXPECT_TRUE(fs::remove(first));
  EXPECT_EQ(res.LoadDllString(1), "Hello");
}

TEST_F(ClsResourceTest, CustomDataComesBackByteForByte) {
  EXPECT_EQ(res.LoadDllText(500), assetText("lore.txt"));
  expectRecord(res, 0, "");
  const auto bytes = res.LoadDllData(500, "custom");  // type names match upper-cased
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), assetText("lore.txt"));
  EXPECT_TRUE(res.LoadDllData(501).empty());
  expectRecord(res, 326, "Custom resource with identifier 501 not found.");
  EXPECT_EQ(res.LoadDllText(400), "");  // a WAVE, not a CUSTOM resource
  expectRecord(res, 326, "Custom resource with identifier 400 not found.");
  EXPECT_TRUE(res.LoadDllData(70000).empty());
  expectRecord(res, 326, "Custom resource with identifier 70000 not found.");
  EXPECT_EQ(res.LoadDllData(400, "WAVE").size(),
            readAll(std::string(TOLLWICK_SOURCE_DIR) + "/sample/assets/chime.wav").size());
}

TEST_F(ClsResourceTest, ZeroSizeDataIsEmptyWithoutAnError) {
  res.DllName(edgeDll());
  EXPECT_TRUE(res.LoadDllData(501).empty());  // an error left over from the call before
  expectRecord(res, 326, "Custom resource with identifier 501 not found.");
  EXPECT_TRUE(res.LoadDllData(1).empty());
  expectRecord(res, 0, "");
  const auto raw = res.LoadDllData(7, "#10");  // RCDATA by type number
  EXPECT_EQ(raw, (std::vector<uint8_t>{'r', 'a', 'w', 0x0B, 0x0A}));
}

// A library double whose resource exists but cannot be loaded, and whose pictures
// cannot be made into picture objects.
class BrokenModule : public testing::FakeResourceModule {
 public:
  explicit BrokenModule(int* live) : FakeResourceModule({}, live) {}
  platform::ResourceHandle findResource(const platform::ResourceId&,
                                        const platform::ResourceId&) override {
    return 1;
  }
  uint32_t sizeofResource(platform::ResourceHandle) override { return 10; }
  const uint8_t* loadResource(platform::ResourceHandle) override { return nullptr; }
  std::unique_ptr<platform::PixelMap> loadPixelMap(uint16_t, platform::PixelMapKind) override {
    auto image = std::make_unique<platform::PixelMap>();
    image->width = 4;  // and no pixels
    image->height = 4;
    return image;
  }
};

class BrokenLoader : public platform::ResourceLoader {
 public:
  platform::Result<std::unique_ptr<platform::ResourceModule>> load(const std::string&) override {
    return std::unique_ptr<platform::ResourceModule>(std::make_unique<BrokenModule>(&live));
  }
  int live = 0;
};

TEST(ClsResource, UnloadableDataAndUnmakeablePicturesAreRecorded) {
  BrokenLoader loader;
  platform::Installed<platform::ResourceLoader> installed(loader);
  clsResource res;
  res.DllName("broken.dll");
  EXPECT_TRUE(res.LoadDllData(3).empty());
  expectRecord(res, 31037, "Error loading from file");
  EXPECT_EQ(res.LoadDllIcon(3), nullptr);
  expectRecord(res, 481, "Invalid Picture");
}

class SaveDllDataTest : public ClsResourceTest {
 protected:
  void SetUp() override {
    ClsResourceTest::SetUp();
    target = dir.file("lore.txt");
  }

  void writeTarget(const std::string& text) { std::ofstream(target, std::ios::binary) << text; }
  std::string targetText() {
    const auto bytes = readAll(target);
    return std::string(bytes.begin(), bytes.end());
  }

  testing::ScratchDirectory dir{"tollwick-save-"};
  std::string target;
};

TEST_F(SaveDllDataTest, WritesANewFile) {
  EXPECT_EQ(res.SaveDllData(500, target), 0);
  EXPECT_EQ(targetText(), assetText("lore.txt"));
}

TEST_F(SaveDllDataTest, OverwriteTrueReplacesAnExistingFile) {
  writeTarget("an older and much longer text that must not survive in any part");
  EXPECT_EQ(res.SaveDllData(500, target, "CUSTOM", true), 0);
  EXPECT_EQ(targetText(), assetText("lore.txt"));
}

TEST_F(SaveDllDataTest, OverwriteFalseKeepsAnExistingFile) {
  writeTarget("keep me");
  EXPECT_EQ(res.SaveDllData(500, target, "CUSTOM", false), 58);
  expectRecord(res, 58, "File already exists");
  EXPECT_EQ(targetText(), "keep me");
}

TEST_F(SaveDllDataTest, AMissingResourceDeletesTheOldFileAndReturns326) {
  writeTarget("old");
  EXPECT_EQ(res.SaveDllData(501, target), 326);
  expectRecord(res, 326, "Resource with identifier 501 not found.");
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(SaveDllDataTest, AZeroSizeResourceIsNotWritten) {
  res.DllName(edgeDll());
  EXPECT_EQ(res.SaveDllData(1, target), 326);
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(ClsResourceTest, An8BitBitmapGetsAPaletteFromItsColourTable) {
  const auto picture = res.LoadDllBitmap(100);
  ASSERT_NE(picture, nullptr);
  expectRecord(res, 0, "");
  EXPECT_EQ(picture->type(), PictureType::kBitmap);
  EXPECT_EQ(picture->width(), 48);
  EXPECT_EQ(picture->height(), 16);
  EXPECT_TRUE(picture->pixels().indexed);
  ASSERT_TRUE(picture->palette().has_value());
  EXPECT_EQ(picture->palette()->version, 0x300);
  ASSERT_EQ(picture->palette()->entries.size(), 256u);
  EXPECT_EQ(picture->palette()->entries, picture->pixels().colorTable);
  EXPECT_EQ(picture->pixels().pixels[47 * 0 + 15 * 48], 0);  // bottom-left: the ridge
}

TEST_F(ClsResourceTest, A24BitBitmapHasNoPalette) {
  const auto picture = res.LoadDllPicture(101, kPictureBitmap);
  ASSERT_NE(picture, nullptr);
  EXPECT_FALSE(picture->palette().has_value());
  EXPECT_FALSE(picture->pixels().indexed);
  EXPECT_EQ(picture->pixels().bitsPerPixel, 24);
  // Top-left pixel: blue 20 + 2 * 0, green 120, red 60 (rows are stored bottom-up).
  const auto& p = picture->pixels().pixels;
  EXPECT_EQ((std::vector<uint8_t>{p[0], p[1], p[2], p[3]}),
            (std::vector<uint8_t>{20, 120, 60, 255}));
}

TEST_F(ClsResourceTest, MoreThan256ColoursRecordSubscriptErrorAndDropThePalette) {
  res.DllName(edgeDll());
  const auto picture = res.LoadDllBitmap(102);
  ASSERT_NE(picture, nullptr);
  EXPECT_FALSE(picture->palette().has_value());
  expectRecord(res, 9, "Subscript out of range");
}

TEST_F(ClsResourceTest, IconsAndCursorsAreIconPictures) {
  const auto icon = res.LoadDllIcon(200);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->type(), PictureType::kIcon);
  EXPECT_EQ(icon->width(), 32);  // the standard size is picked from the group
  EXPECT_FALSE(icon->palette().has_value());
  const auto& pixels = icon->pixels().pixels;
  EXPECT_EQ(pixels[3], 0);                         // a corner is transparent
  EXPECT_EQ(pixels[(16 * 32 + 16) * 4 + 3], 255);  // the shield is not

  const auto cursor = res.LoadDllPicture(300, kPictureCursor);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->type(), PictureType::kIcon);
  EXPECT_EQ(cursor->pixels().kind, platform::PixelMapKind::kCursor);
  EXPECT_EQ(cursor->pixels().hotspotX, 2);
  EXPECT_EQ(cursor->pixels().hotspotY, 1);
  expectRecord(res, 0, "");
}

TEST_F(ClsResourceTest, MissingPicturesAndUnknownKindsAreNone) {
  EXPECT_EQ(res.LoadDllPicture(100, 3), nullptr);
  expectRecord(res, 326, "Picture resource with identifier 100 not found.");
  EXPECT_EQ(res.LoadDllCursor(200), nullptr);  // an icon, not a cursor
  expectRecord(res, 326, "Picture resource with identifier 200 not found.");
  EXPECT_EQ(res.LoadDllBitmap(-1), nullptr);
  expectRecord(res, 326, "Picture resource with identifier -1 not found.");
}

TEST_F(ClsResourceTest, PlayWaveHandsTheWholeWaveToTheSoundOutput) {
  testing::RecordingSoundOutput sound;
  platform::Installed<platform::SoundOutput> installed(sound);
  EXPECT_TRUE(res.PlayWave(400));
  ASSERT_EQ(sound.played.size(), 1u);
  EXPECT_EQ(sound.played[0],
            readAll(std::string(TOLLWICK_SOURCE_DIR) + "/sample/assets/chime.wav"));
  EXPECT_FALSE(res.PlayWave(401));
  sound.answer = false;
  EXPECT_FALSE(res.PlayWave(400));  // no device
  EXPECT_EQ(sound.played.size(), 2u);
}

TEST_F(ClsResourceTest, PlayWaveOnThisMachineReturnsAtOnce) {
  // Whether a sound server runs here or not (CI has none), the call neither blocks for
  // the length of the sound nor crashes.
  const auto start = std::chrono::steady_clock::now();
  res.PlayWave(400);
  res.PlayWave(400);  // a new sound stops the one playing
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace tollwick
