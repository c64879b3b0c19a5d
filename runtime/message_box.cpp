#include "runtime/message_box.h"

#include <memory>

#include "platform/dialog.h"
#include "platform/seam.h"
#include "runtime/run_time_error.h"

namespace tollwick {

int16_t sysMessageBox(const std::string& prompt, int32_t style,
                      const std::optional<std::string>& caption) {
  const int32_t answer =
      platform::use<platform::Dialog>().show(prompt, style, caption.value_or(kApplicationTitle));
  if (answer == platform::box::kNotShown) raiseError(err::kDeviceIoError);
  return static_cast<int16_t>(answer);
}

int16_t sysShowMessage(const std::string& prompt) {
  sysMessageBox(prompt, platform::box::kOk);
  return 0;
}

std::string errorReportText(const std::string& description, const std::string& routineText) {
  return "Error '" + description + "' occurred in (" + kApplicationTitle + ")" + routineText;
}

namespace {

bool& failureFlag() {
  static bool reported = false;
  return reported;
}

}  // namespace

void reportError(const RunTimeError& error, const std::string& routineText) {
  noteFailureReported();
  sysShowMessage(errorReportText(error.description(), routineText));
}

void noteFailureReported() { failureFlag() = true; }
bool failureReported() { return failureFlag(); }
void clearFailureReported() { failureFlag() = false; }

}  // namespace tollwick

namespace tollwick::platform {
namespace {

// What the boxes go to when the program installed no dialog: none can be shown.
class NoDialog : public Dialog {
 public:
  int32_t show(const std::string&, int32_t, const std::string&) override { return box::kNotShown; }
};

}  // namespace

// The program chooses its dialog at start (startup/dialog_choice.h) and installs it;
// tools and tests install their own.
template <>
std::unique_ptr<Dialog> makeSystemFacility<Dialog>() {
  return std::make_unique<NoDialog>();
}

}  // namespace tollwick::platform
