#include "formats/pe/pe_file.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "platform/ansi_text.h"
#include "platform/code_page.h"
#include "platform/seam.h"

namespace tollwick::pe {
namespace {

// The platform's loader refuses images with more sections than this; refusing them
// here too keeps every RVA lookup short.
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kTreeLevels = 3;  // type, name, language

bool fits(uint64_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

uint16_t primaryLanguage(uint16_t langId) { return static_cast<uint16_t>(langId & 0x3FF); }

}  // namespace

std::string describeResourceId(const ResourceId& key) {
  if (!key.isName) return "#" + std::to_string(key.id);
  return ansiToUtf8(utf16ToAnsi(key.name));
}

platform::Result<PeFile> PeFile::parse(std::span<const uint8_t> bytes, uint16_t uiLanguage) {
  return parse(platform::ByteBuffer(bytes.begin(), bytes.end()), uiLanguage);
}

platform::Result<PeFile> PeFile::parse(platform::ByteBuffer bytes, uint16_t uiLanguage) {
  PeFile image;
  image.bytes_ = std::move(bytes);
  image.uiLanguage_ = uiLanguage;
  if (platform::Status headers = image.readHeaders(); !headers.ok()) return headers;
  image.readResourceTree();
  for (std::size_t i = 0; i < image.resources_.size(); ++i) {
    const Resource& r = image.resources_[i];
    image.byTypeAndName_[indexKey(r.type, r.name)].push_back(i);
  }
  image.indexStrings(uiLanguage);
  return platform::Result<PeFile>(std::move(image));
}

platform::Status PeFile::readHeaders() {
  using platform::Code;
  const auto& b = bytes_;
  if (!fits(b.size(), 0, 0x40) || b[0] != 'M' || b[1] != 'Z') {
    return platform::Status(Code::kDamaged, "no MZ header");
  }
  const uint64_t peOffset = readLe32(b, 0x3C);
  if (!fits(b.size(), peOffset, 24) ||
      std::memcmp(&b[static_cast<size_t>(peOffset)], "PE\0\0", 4) != 0) {
    return platform::Status(Code::kDamaged, "no PE header");
  }
  const uint64_t coff = peOffset + 4;
  machine_ = readLe16(b, coff);
  const uint32_t sectionCount = readLe16(b, coff + 2);
  const uint32_t optionalSize = readLe16(b, coff + 16);
  const uint64_t optional = peOffset + 24;
  if (!fits(b.size(), optional, optionalSize) || optionalSize < 2) {
    return platform::Status(Code::kDamaged, "optional header outside the file");
  }
  const uint16_t magic = readLe16(b, optional);
  if (magic != 0x10B && magic != 0x20B) {
    return platform::Status(Code::kDamaged, "neither a PE32 nor a PE32+ optional header");
  }
  pe32Plus_ = magic == 0x20B;
  const uint64_t rvaCountAt = pe32Plus_ ? 108 : 92;
  const uint64_t resourceEntryAt = pe32Plus_ ? 128 : 112;
  if (sectionCount > kMaxSections) return platform::Status(Code::kDamaged, "too many sections");
  const uint64_t sectionTable = optional + optionalSize;
  if (!fits(b.size(), sectionTable, uint64_t{sectionCount} * 40)) {
    return platform::Status(Code::kDamaged, "section table outside the file");
  }
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = sectionTable + uint64_t{i} * 40;
    sections_.push_back(Section{readLe32(b, at + 12), readLe32(b, at + 8), readLe32(b, at + 16),
                                readLe32(b, at + 20)});
  }
  // A file without a resource directory entry still loads; it simply has no resources.
  if (optionalSize >= rvaCountAt + 4 && readLe32(b, optional + rvaCountAt) > 2 &&
      optionalSize >= resourceEntryAt + 8) {
    resourceRva_ = readLe32(b, optional + resourceEntryAt);
  }
  return {};
}

std::optional<std::pair<uint32_t, uint32_t>> PeFile::mapRva(uint32_t rva) const {
  for (const Section& s : sections_) {
    const uint64_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva < s.virtualAddress || rva - uint64_t{s.virtualAddress} >= extent) continue;
    const uint64_t delta = rva - uint64_t{s.virtualAddress};
    if (delta >= s.rawSize) return std::nullopt;  // not backed by the file
    const uint64_t offset = uint64_t{s.rawOffset} + delta;
    if (offset >= bytes_.size()) return std::nullopt;
    const uint64_t available = std::min<uint64_t>(s.rawSize - delta, bytes_.size() - offset);
    return std::make_pair(static_cast<uint32_t>(offset), static_cast<uint32_t>(available));
  }
  return std::nullopt;
}

void PeFile::readResourceTree() {
  if (resourceRva_ == 0) return;
  const auto mapped = mapRva(resourceRva_);
  if (!mapped) return;
  const uint32_t base = mapped->first;
  const uint32_t limit = mapped->second;  // tree offsets must stay below this
  std::unordered_set<uint32_t> visited;
  // In a sound tree no two entries share bytes, so it cannot hold more entries than fit
  // in its section; overlapping directories that would reread the same bytes over and
  // over run out of this budget instead of taking quadratic time.
  uint64_t budget = limit / 8 + 16;
  std::vector<ResourceId> path;
  walkDirectory(base, limit, 0, 0, path, visited, budget);
}

std::optional<ResourceId> PeFile::readName(uint32_t base, uint32_t limit, uint32_t offset) const {
  if (!fits(limit, offset, 2)) return std::nullopt;
  const uint32_t length = readLe16(bytes_, uint64_t{base} + offset);
  if (!fits(limit, uint64_t{offset} + 2, uint64_t{length} * 2)) return std::nullopt;
  std::u16string name(length, u'\0');
  for (uint32_t i = 0; i < length; ++i) {
    name[i] = static_cast<char16_t>(readLe16(bytes_, uint64_t{base} + offset + 2 + 2 * i));
  }
  return ResourceId::fromName(std::move(name));
}

void PeFile::walkDirectory(uint32_t base, uint32_t limit, uint32_t offset, int level,
                           std::vector<ResourceId>& path, std::unordered_set<uint32_t>& visited,
                           uint64_t& budget) {
  if (level >= kTreeLevels || !visited.insert(offset).second) return;
  if (!fits(limit, offset, 16)) return;
  const uint64_t at = uint64_t{base} + offset;
  const uint32_t count = uint32_t{readLe16(bytes_, at + 12)} + readLe16(bytes_, at + 14);
  for (uint32_t i = 0; i < count; ++i) {
    if (budget == 0) return;
    --budget;
    const uint64_t entry = uint64_t{offset} + 16 + uint64_t{i} * 8;
    if (!fits(limit, entry, 8)) return;
    const uint32_t nameField = readLe32(bytes_, base + entry);
    const uint32_t dataField = readLe32(bytes_, base + entry + 4);
    std::optional<ResourceId> key;
    if (nameField & kHighBit) {
      key = readName(base, limit, nameField & ~kHighBit);
    } else {
      key = ResourceId::fromId(static_cast<uint16_t>(nameField & 0xFFFF));
    }
    if (!key) continue;
    const bool isDirectory = (dataField & kHighBit) != 0;
    const uint32_t target = dataField & ~kHighBit;
    if (level < kTreeLevels - 1) {
      if (!isDirectory) continue;
      path.push_back(std::move(*key));
      walkDirectory(base, limit, target, level + 1, path, visited, budget);
      path.pop_back();
      continue;
    }
    // Language level: an id, pointing at a data entry.
    if (isDirectory || key->isName || !fits(limit, target, 16)) continue;
    const uint32_t rva = readLe32(bytes_, uint64_t{base} + target);
    const uint32_t size = readLe32(bytes_, uint64_t{base} + target + 4);
    const auto data = mapRva(rva);
    if (size != 0 && (!data || data->second < size)) continue;  // not wholly in the file
    resources_.push_back(Resource{path[0], path[1], key->id, rva, data ? data->first : 0, size});
  }
}

// One text per type and name: each key is written as a tag, a length or id, and the
// name's units, so that no two keys give the same text.
std::u16string PeFile::indexKey(const ResourceId& type, const ResourceId& name) {
  std::u16string key;
  for (const ResourceId* k : {&type, &name}) {
    if (k->isName) {
      key += u'N';
      key += static_cast<char16_t>(k->name.size());
      key += k->name;
    } else {
      key += u'I';
      key += static_cast<char16_t>(k->id);
    }
  }
  return key;
}

const Resource* PeFile::find(const ResourceId& type, const ResourceId& name,
                             uint16_t language) const {
  const auto it = byTypeAndName_.find(indexKey(type, name));
  if (it == byTypeAndName_.end()) return nullptr;
  for (std::size_t i : it->second) {
    if (resources_[i].language == language) return &resources_[i];
  }
  return nullptr;
}

const Resource* PeFile::find(const ResourceId& type, const ResourceId& name) const {
  return choose(type, name, uiLanguage_);
}

const Resource* PeFile::choose(const ResourceId& type, const ResourceId& name,
                               uint16_t uiLanguage) const {
  const auto it = byTypeAndName_.find(indexKey(type, name));
  if (it == byTypeAndName_.end()) return nullptr;
  const Resource* lowest = nullptr;
  const Resource* byRank[4] = {nullptr, nullptr, nullptr, nullptr};
  const uint16_t wanted[4] = {kLanguageNeutral, uiLanguage, primaryLanguage(uiLanguage),
                              kLanguageEnglishUs};
  for (std::size_t i : it->second) {
    const Resource& r = resources_[i];
    for (int rank = 0; rank < 4; ++rank) {
      if (byRank[rank] == nullptr && r.language == wanted[rank]) byRank[rank] = &r;
    }
    if (lowest == nullptr || r.language < lowest->language) lowest = &r;
  }
  for (const Resource* r : byRank) {
    if (r != nullptr) return r;
  }
  return lowest;
}

std::span<const uint8_t> PeFile::bytesOf(const Resource& resource) const {
  if (resource.size == 0) return {};
  return std::span<const uint8_t>(bytes_.data() + resource.offset, resource.size);
}

void PeFile::indexStrings(uint16_t uiLanguage) {
  const ResourceId stringType = ResourceId::fromId(rt::kString);
  for (const Resource& r : resources_) {
    if (!(r.type == stringType) || r.name.isName || strings_.count(r.name.id) != 0) continue;
    const Resource* chosen = choose(stringType, r.name, uiLanguage);
    StringBlock block{};
    // Sixteen counted entries; entries missing from a short block stay empty.
    uint64_t at = chosen->offset;
    const uint64_t end = uint64_t{chosen->offset} + chosen->size;
    for (StringSlot& slot : block) {
      if (at + 2 > end) break;
      const uint16_t length = readLe16(bytes_, at);
      at += 2;
      if (at + uint64_t{length} * 2 > end) break;
      slot = StringSlot{static_cast<uint32_t>(at), length};
      at += uint64_t{length} * 2;
    }
    strings_.emplace(r.name.id, block);
  }
}

std::u16string PeFile::stringEntry(uint32_t id) const {
  const auto block = static_cast<uint16_t>(((id & 0xFFFF) >> 4) + 1);
  const auto it = strings_.find(block);
  if (it == strings_.end()) return {};
  const StringSlot& slot = it->second[id & 15];
  if (slot.length == 0) return {};
  // The units are read out of the file's bytes, which need not be aligned for char16_t.
  std::u16string units(slot.length, u'\0');
  for (uint16_t i = 0; i < slot.length; ++i) {
    units[i] = static_cast<char16_t>(readLe16(bytes_, uint64_t{slot.offset} + 2u * i));
  }
  return units;
}

int32_t PeFile::loadString(uint32_t id, char* buffer, int32_t capacity) const {
  if (capacity <= 0) return -1;
  buffer[0] = '\0';
  const std::u16string entry = stringEntry(id);
  if (entry.empty()) return 0;
  // Cut at the buffer's room without splitting a double-byte character, as the
  // platform's loader cuts.
  const std::string ansi = utf16ToAnsi(entry);
  const std::string_view copied =
      wholeCharactersWithin(ansi, static_cast<std::size_t>(capacity) - 1);
  const std::size_t n = copied.size();
  std::memcpy(buffer, copied.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

}  // namespace tollwick::pe
