#include "runtime/error_record.h"

#include <utility>

namespace tollwick {

ErrorRecord& currentError() {
  static ErrorRecord record;
  return record;
}

void resetCurrentError() { currentError() = ErrorRecord{}; }

void setCurrentError(int32_t number, std::string description) {
  currentError() = ErrorRecord{number, std::move(description)};
}

}  // namespace tollwick
