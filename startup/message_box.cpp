#include "startup/message_box.h"

#include "platform/dialog.h"
#include "platform/seam.h"

namespace tollwick {

int16_t sysMessageBox(const std::string& prompt, int32_t style,
                      const std::optional<std::string>& caption) {
  const int32_t answer =
      platform::use<platform::Dialog>().show(prompt, style, caption.value_or(kApplicationTitle));
  return static_cast<int16_t>(answer);
}

int16_t sysShowMessage(const std::string& prompt) {
  sysMessageBox(prompt, platform::box::kOk);
  return 0;
}

std::string errorReportText(const std::string& description, const std::string& routineText) {
  return "Error '" + description + "' occurred in (" + kApplicationTitle + ")" + routineText;
}

void reportError(const RunTimeError& error, const std::string& routineText) {
  sysShowMessage(errorReportText(error.description(), routineText));
}

}  // namespace tollwick
