#include "startup/dialog_choice.h"

#include <cstdlib>
#include <iostream>

#include "startup/answers_dialog.h"
#include "startup/terminal_dialog.h"
#include "startup/transcript_dialog.h"

namespace tollwick {
namespace {

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool isSet(const std::optional<std::string>& value) { return value && !value->empty(); }

}  // namespace

DialogEnvironment dialogEnvironmentFromProcess() {
  DialogEnvironment env;
  env.answers = environmentValue("TOLLWICK_ANSWERS");
  env.dialog = environmentValue("TOLLWICK_DIALOG");
  env.transcript = environmentValue("TOLLWICK_TRANSCRIPT");
  env.desktopSession = isSet(environmentValue("DISPLAY")) || isSet(environmentValue("WAYLAND_DISPLAY"));
  return env;
}

std::unique_ptr<platform::Dialog> chooseDialog(const DialogEnvironment& env, std::istream& in,
                                               std::ostream& out, std::string& badWord) {
  std::unique_ptr<platform::Dialog> dialog;
  if (env.answers) {
    auto answers = parseAnswers(*env.answers, badWord);
    if (!answers) return nullptr;
    dialog = std::make_unique<AnswersDialog>(std::move(*answers));
  } else {
    // A desktop session would get real windows here; the terminal serves until then.
    dialog = std::make_unique<TerminalDialog>(in, out);
  }
  if (isSet(env.transcript)) {
    dialog = std::make_unique<TranscriptDialog>(std::move(dialog), *env.transcript);
  }
  return dialog;
}

bool answersEnvironmentIsValid(std::ostream& errors) {
  const auto answers = environmentValue("TOLLWICK_ANSWERS");
  if (!answers) return true;
  std::string badWord;
  if (parseAnswers(*answers, badWord)) return true;
  errors << "tollwick: TOLLWICK_ANSWERS holds \"" << badWord
         << "\"; only yes and no (comma-separated) are understood\n";
  return false;
}

}  // namespace tollwick
