#pragma once
// Module-level state of the game system: written by the loaders, read by start-up and
// the repair. Lives for the whole run.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "system/system_header_record.h"

namespace tollwick {

struct SystemEntry {
  std::string name;
  std::string secondText;
  std::string directory;
};

struct SystemState {
  // Zero-based; empty (no bounds) before the master system header is loaded.
  std::vector<SystemEntry> systemTable;
  std::string masterText;
  SystemHeaderRecord header;
  std::array<int32_t, 10> headerTrailer{};
  // The system signature; 0 = none.
  int32_t systemSignature = 0;
};

SystemState& systemState();

// The key text of a file protected under the fixed key (`fixedKey`), or else under the
// key of the loaded system (its header's key texts).
std::string loadedKeyText(bool fixedKey);

// Back to the state at program start (tests).
void resetSystemState();

}  // namespace tollwick
