#pragma once
// clsResource: access to the resources of one resource-only library, loaded by
// assigning its path to DllName: its string table, custom resources (as bytes, as text
// or written to a file), bitmaps, icons and cursors as pictures, and wave sounds.
//
// Each instance keeps the record of its last error (number and description, read with
// lastError()), set in one of two styles: "record and continue" (DllName, LoadDllString,
// LoadDllData, LoadDllText, LoadDllPicture and its three shorthands) resets the record
// on entry, records a failure and returns normally; "stop and return the number"
// (SaveDllData) records its first failure and returns its number (0 on success).
// Nothing is thrown to the caller.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/resource_library.h"
#include "resources/picture.h"

namespace tollwick {

// Picture kinds of LoadDllPicture.
inline constexpr int32_t kPictureBitmap = 0;
inline constexpr int32_t kPictureIcon = 1;
inline constexpr int32_t kPictureCursor = 2;

// The error an operation of clsResource recorded: number 0 and no description when
// the last one that resets the record succeeded.
struct ResourceError {
  int32_t number = 0;
  std::string description;
};

class clsResource {
 public:
  clsResource();
  ~clsResource();
  clsResource(const clsResource&) = delete;
  clsResource& operator=(const clsResource&) = delete;

  // The bytes of resource `index` of type `resformat` (a type name, or "#n" for type
  // n). Missing: empty and error 326 "Custom resource with identifier <index> not
  // found."; size 0: empty, nothing recorded; unreadable: empty and error 31037
  // "Error loading from file".
  std::vector<uint8_t> LoadDllData(int32_t index, const std::string& resformat = "CUSTOM");

  // Writes resource `index` to the file `path`. An existing `path` (anything matching
  // it) is deleted first when `overwrite` is true, else the result is 58 "File already
  // exists". A missing or empty resource gives 326 "Resource with identifier <index>
  // not found." (after that deletion). Other failures give their run-time error number.
  int32_t SaveDllData(int16_t index, const std::string& path,
                      const std::string& resformat = "CUSTOM", bool overwrite = true);

  // The member description of LoadDllPicture (a text of the code page).
  static constexpr const char* kLoadDllPictureDescription =
      "L\xE4"
      "dt ein Bitmap, Icon oder Cursor aus einer Resource-DLL";

  // A bitmap (kind 0), icon (1) or cursor (2) as a picture; none otherwise. Missing:
  // error 326 "Picture resource with identifier <index> not found."; a picture that
  // cannot be made: error 481 "Invalid Picture". A bitmap of 8 bits per pixel gets a
  // palette from its colour table; a table of more than 256 colours records error 9 and
  // the bitmap comes without one.
  std::shared_ptr<Picture> LoadDllPicture(int32_t index, int32_t resformat);

  // Releases the held library, then loads `path`. Failure: error 48
  // "Error in loading DLL: " + path, and DllName reads "".
  void DllName(const std::string& path);
  // The path last loaded successfully; "" before any load and after a failed one.
  const std::string& DllName() const { return dllName_; }

  // Starts wave sound `index` (a "WAVE" resource) and returns at once: true when it
  // started. Failures of the platform reach the caller unchanged (none are recorded).
  bool PlayWave(int32_t index);

  // String `index`, at most `length` characters. Missing or empty: "" and error 326
  // "String resource with identifier <index> not found.".
  std::string LoadDllString(int32_t index, int32_t length = 10000);

  // LoadDllData's bytes as a text of the code page, unchanged.
  std::string LoadDllText(int16_t index, const std::string& resformat = "CUSTOM");

  // LoadDllPicture with kind 1, 2 and 0.
  std::shared_ptr<Picture> LoadDllIcon(int32_t index);
  std::shared_ptr<Picture> LoadDllCursor(int32_t index);
  std::shared_ptr<Picture> LoadDllBitmap(int32_t index);

  // The error recorded by the last operation (see the two styles above).
  const ResourceError& lastError() const { return error_; }

 protected:
  std::unique_ptr<platform::ResourceModule> module_;
  std::string dllName_;

 private:
  // True when anything (a file, a directory, a wildcard match) matches `path`.
  static bool PathExists(const std::string& path);
  static bool ArrayIsEmpty(const std::vector<uint8_t>& bytes) { return bytes.empty(); }
  // The palette of bitmap `index` when it has 8 bits per pixel; none otherwise. Error 9
  // when its header claims more than 256 colours.
  std::optional<Palette> CreateBitmapPalette(int32_t index);

  void resetError() { error_ = ResourceError{}; }
  void recordError(int32_t number, std::string description) {
    error_ = ResourceError{number, std::move(description)};
  }

  ResourceError error_;
};

// The shared instance, created on first use with no library loaded.
clsResource& gResource();

}  // namespace tollwick
