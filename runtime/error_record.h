#pragma once
// The process-wide current error record: the number and description of the error
// being handled. The resource-library operations reset and set it; the common error
// report shows the description of a trapped error.

#include <cstdint>
#include <string>

namespace tollwick {

struct ErrorRecord {
  int32_t number = 0;
  std::string description;
};

// The one record of the process.
ErrorRecord& currentError();

// Clears the record (number 0, empty description).
void resetCurrentError();

// Sets number and description.
void setCurrentError(int32_t number, std::string description);

}  // namespace tollwick
