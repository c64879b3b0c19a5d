#include "startup/transcript_dialog.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/process.h"
#include "platform/seam.h"

namespace tollwick {

std::string transcriptLine(const std::string& caption, const std::string& prompt, int32_t style,
                           int32_t answer) {
  const auto quoted = [](const std::string& ansi) {
    return nlohmann::json(ansiToUtf8(ansi)).dump();
  };
  return "{\"caption\": " + quoted(caption) + ", \"prompt\": " + quoted(prompt) +
         ", \"style\": " + std::to_string(style) + ", \"answer\": " + std::to_string(answer) + "}";
}

std::string chooserLine(const std::string& title, const platform::FolderChoice& choice) {
  const nlohmann::json folder = choice.outcome == platform::FolderChoice::Outcome::kChosen
                                    ? nlohmann::json(ansiToUtf8(choice.folder))
                                    : nlohmann::json(nullptr);
  return "{\"chooser\": " + nlohmann::json(ansiToUtf8(title)).dump() +
         ", \"folder\": " + folder.dump() + "}";
}

TranscriptDialog::TranscriptDialog(std::unique_ptr<platform::Dialog> inner,
                                   std::unique_ptr<platform::AppendFile> file)
    : inner_(std::move(inner)), file_(std::move(file)) {}

platform::FolderChoice TranscriptDialog::chooseFolder(const std::string& title) {
  const platform::FolderChoice choice = inner_->chooseFolder(title);
  if (choice.outcome != platform::FolderChoice::Outcome::kNotOffered)
    record(chooserLine(title, choice));
  return choice;
}

int32_t TranscriptDialog::show(const std::string& prompt, int32_t style,
                               const std::string& caption) {
  const int32_t answer = inner_->show(prompt, style, caption);
  if (answer == platform::box::kNotShown) return answer;  // no box, so no line
  record(transcriptLine(caption, prompt, style, answer));
  return answer;
}

// Written at once, so that the lines are there even when the program ends at once right
// after the box.
void TranscriptDialog::record(const std::string& line) {
  if (!file_->append(line + '\n')) {
    std::cerr << "tollwick: the transcript (TOLLWICK_TRANSCRIPT) cannot be written\n";
    platform::use<platform::Process>().endAtOnce();
  }
}

}  // namespace tollwick
