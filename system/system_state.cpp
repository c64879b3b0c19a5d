#include "system/system_state.h"

#include "security/sarn_security.h"

namespace tollwick {

std::string loadedKeyText(bool fixedKey) {
  return fixedKey ? fixedKeyText() : systemKeyText(systemState().header);
}

SystemState& systemState() {
  static SystemState state;
  return state;
}

void resetSystemState() { systemState() = SystemState{}; }

}  // namespace tollwick
