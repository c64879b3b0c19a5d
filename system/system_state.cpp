#include "system/system_state.h"

namespace tollwick {

SystemState& systemState() {
  static SystemState state;
  return state;
}

void resetSystemState() { systemState() = SystemState{}; }

}  // namespace tollwick
