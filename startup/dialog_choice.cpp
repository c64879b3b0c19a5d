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

// Where no terminal can answer: every box is one that cannot be shown.
class NoDialog : public platform::Dialog {
 public:
  int32_t show(const std::string&, int32_t, const std::string&) override {
    return platform::box::kNotShown;
  }
};

// The desktop's dialog while it can show boxes; from the first box it cannot show (its
// display went away), that box and every later one go to the fallback.
class DesktopWithFallback : public platform::Dialog {
 public:
  DesktopWithFallback(std::unique_ptr<platform::Dialog> desktop,
                      std::unique_ptr<platform::Dialog> fallback)
      : desktop_(std::move(desktop)), fallback_(std::move(fallback)) {}

  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    if (desktop_) {
      const int32_t answer = desktop_->show(prompt, style, caption);
      if (answer != platform::box::kNotShown) return answer;
      desktop_.reset();
    }
    return fallback_->show(prompt, style, caption);
  }
  bool offersFolderChooser() override { return desktop_ && desktop_->offersFolderChooser(); }
  platform::FolderChoice chooseFolder(const std::string& title) override {
    if (!desktop_) return {};
    return desktop_->chooseFolder(title);
  }
  void setBusyPointer() override {
    if (desktop_) desktop_->setBusyPointer();
  }
  void processPendingMessages() override {
    if (desktop_) desktop_->processPendingMessages();
  }

 private:
  std::unique_ptr<platform::Dialog> desktop_;
  std::unique_ptr<platform::Dialog> fallback_;
};

}  // namespace

DialogEnvironment dialogEnvironmentFromProcess() {
  DialogEnvironment env;
  env.answers = environmentValue("TOLLWICK_ANSWERS");
  env.dialog = environmentValue("TOLLWICK_DIALOG");
  env.transcript = environmentValue("TOLLWICK_TRANSCRIPT");
  env.desktopSession = platform::desktopSession();
  env.terminalStandsInForDesktop = platform::terminalStandsInForDesktop();
  env.terminalInput = platform::standardInputCanAnswer();
  env.desktopDialog = platform::makeDesktopDialog;
  return env;
}

std::unique_ptr<platform::Dialog> chooseDialog(const DialogEnvironment& env, std::istream& in,
                                               std::ostream& out, std::string& badWord) {
  std::unique_ptr<platform::Dialog> dialog;
  if (env.answers) {
    auto answers = parseAnswers(*env.answers, badWord);
    if (!answers) return nullptr;
    dialog = std::make_unique<AnswersDialog>(std::move(*answers));
  } else if (env.dialog == "terminal") {
    // Asked for by name: the terminal as given, end of input answering as it does.
    dialog = std::make_unique<TerminalDialog>(in, out);
  } else {
    // Where the desktop shows the boxes, the terminal takes those it cannot show only
    // where the platform lets it (never on Windows).
    const bool terminalAnswers =
        env.terminalInput && (!env.desktopSession || env.terminalStandsInForDesktop);
    std::unique_ptr<platform::Dialog> terminal;
    if (terminalAnswers) {
      terminal = std::make_unique<TerminalDialog>(in, out);
    } else {
      terminal = std::make_unique<NoDialog>();
    }
    std::unique_ptr<platform::Dialog> desktop;
    if (env.desktopSession && env.desktopDialog) desktop = env.desktopDialog();
    if (desktop) {
      dialog = std::make_unique<DesktopWithFallback>(std::move(desktop), std::move(terminal));
    } else {
      dialog = std::move(terminal);
    }
  }
  if (isSet(env.transcript)) {
    std::shared_ptr<platform::AppendFile> file = env.transcriptFile;
    if (!file) {
      auto opened = platform::openAppendFile(*env.transcript);
      if (!opened.ok()) return nullptr;
      file = std::move(opened).value();
    }
    // The dialog owns its transcript; a shared one stays open as long as either holds it.
    struct Shared : platform::AppendFile {
      std::shared_ptr<platform::AppendFile> file;
      bool append(std::string_view text) override { return file->append(text); }
    };
    auto owned = std::make_unique<Shared>();
    owned->file = std::move(file);
    dialog = std::make_unique<TranscriptDialog>(std::move(dialog), std::move(owned));
  }
  return dialog;
}

bool openTranscript(DialogEnvironment& env, std::ostream& errors) {
  if (!isSet(env.transcript)) return true;
  auto opened = platform::openAppendFile(*env.transcript);
  if (opened.ok()) {
    env.transcriptFile = std::move(opened).value();
    return true;
  }
  env.transcriptFile.reset();
  errors << "tollwick: the transcript \"" << *env.transcript
         << "\" (TOLLWICK_TRANSCRIPT) cannot be written: " << opened.status().context() << "\n";
  return false;
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
