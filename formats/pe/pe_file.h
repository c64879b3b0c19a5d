#pragma once
// A reader of the resources of a PE file (PE32 and PE32+), as the platform's resource
// functions see them: the resource tree of type, name and language, each resource's
// bytes, and the string table. Portable: it works on the file's bytes and never trusts
// them. Every offset, count and size is checked against the file; a damaged resource
// tree loses the damaged entries (lookups then fail as for a missing resource), while a
// file whose headers cannot be read does not load at all.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"
#include "platform/resource_id.h"
#include "platform/status.h"

namespace tollwick::pe {

// Resource types of the platform, by id.
namespace rt {
inline constexpr uint16_t kCursor = 1;
inline constexpr uint16_t kBitmap = 2;
inline constexpr uint16_t kIcon = 3;
inline constexpr uint16_t kString = 6;
inline constexpr uint16_t kRcData = 10;
inline constexpr uint16_t kGroupCursor = 12;
inline constexpr uint16_t kGroupIcon = 14;
inline constexpr uint16_t kVersion = 16;
}  // namespace rt

inline constexpr uint16_t kLanguageNeutral = 0x0000;
inline constexpr uint16_t kLanguageEnglishUs = 0x0409;

using platform::ResourceId;

// A text for an id: the id in decimal with a leading '#', or the name (UTF-8).
std::string describeResourceId(const ResourceId& key);

// One leaf of the resource tree. `offset` and `size` lie inside the file.
struct Resource {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint32_t rva = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
};

class PeFile {
 public:
  // Moved, never copied: an image holds the whole file.
  PeFile(PeFile&&) = default;
  PeFile& operator=(PeFile&&) = default;
  PeFile(const PeFile&) = delete;
  PeFile& operator=(const PeFile&) = delete;

  // Reads the headers and the resource tree of `bytes`, and indexes the string table
  // with `uiLanguage` as the preferred language. Code::kDamaged, saying which header is
  // wrong, when `bytes` is not a PE file whose headers lie inside it.
  static platform::Result<PeFile> parse(platform::ByteBuffer bytes,
                                        uint16_t uiLanguage = kLanguageEnglishUs);
  // The same for bytes held in a plain vector (copied).
  static platform::Result<PeFile> parse(std::span<const uint8_t> bytes,
                                        uint16_t uiLanguage = kLanguageEnglishUs);

  bool isPe32Plus() const { return pe32Plus_; }
  uint16_t machine() const { return machine_; }

  // Every resource in tree order (types, then names, then languages as stored).
  const std::vector<Resource>& resources() const { return resources_; }

  // The resource of `type` and `name` in the language the platform picks when asked
  // for the neutral language: 0x0000, the preferred language, its primary language,
  // 0x0409, then the lowest language present. Null when there is none.
  const Resource* find(const ResourceId& type, const ResourceId& name) const;
  // The resource in exactly `language`; null when there is none.
  const Resource* find(const ResourceId& type, const ResourceId& name, uint16_t language) const;

  std::span<const uint8_t> bytesOf(const Resource& resource) const;

  // String `id` of the string table (the high 16 bits of `id` ignored), UTF-16; empty
  // for a missing or empty entry. Answered from the index built at load.
  std::u16string stringEntry(uint32_t id) const;

  // As the platform's ANSI string loader: the entry converted to the system's code page,
  // at most `capacity` - 1 bytes (never half a double-byte character) followed by a NUL; returns
  // the bytes copied, 0 for a missing or empty entry (buffer[0] = NUL), -1 for a capacity of 0 or
  // less (buffer untouched).
  int32_t loadString(uint32_t id, char* buffer, int32_t capacity) const;

  // The file offset of `rva` and the number of file bytes from there to the end of its
  // section's raw data (capped at the end of the file); nullopt when not backed by it.
  std::optional<std::pair<uint32_t, uint32_t>> mapRva(uint32_t rva) const;

 private:
  struct StringSlot {
    uint32_t offset = 0;  // of the first UTF-16 unit in the file
    uint16_t length = 0;  // in UTF-16 units; 0 for an empty entry
  };
  using StringBlock = std::array<StringSlot, 16>;

  PeFile() = default;
  platform::Status readHeaders();
  void readResourceTree();
  void walkDirectory(uint32_t base, uint32_t limit, uint32_t offset, int level,
                     std::vector<ResourceId>& path, std::unordered_set<uint32_t>& visited,
                     uint64_t& budget);
  std::optional<ResourceId> readName(uint32_t base, uint32_t limit, uint32_t offset) const;
  void indexStrings(uint16_t uiLanguage);
  static std::u16string indexKey(const ResourceId& type, const ResourceId& name);
  const Resource* choose(const ResourceId& type, const ResourceId& name, uint16_t uiLanguage) const;

  platform::ByteBuffer bytes_;  // the whole file, as read
  bool pe32Plus_ = false;
  uint16_t machine_ = 0;
  uint16_t uiLanguage_ = kLanguageEnglishUs;
  struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
  };
  std::vector<Section> sections_;
  uint32_t resourceRva_ = 0;
  std::vector<Resource> resources_;
  std::unordered_map<uint16_t, StringBlock> strings_;  // by block number
  // Indexes into resources_ of each type and name, in tree order.
  std::unordered_map<std::u16string, std::vector<std::size_t>> byTypeAndName_;
};

}  // namespace tollwick::pe
