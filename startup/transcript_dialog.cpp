#include "startup/transcript_dialog.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <utility>

#include "runtime/run_time_error.h"
#include "base/text.h"

namespace tollwick {

std::string transcriptLine(const std::string& caption, const std::string& prompt, int32_t style,
                           int32_t answer) {
  const auto quoted = [](const std::string& ansi) { return nlohmann::json(ansiToUtf8(ansi)).dump(); };
  return "{\"caption\": " + quoted(caption) + ", \"prompt\": " + quoted(prompt) +
         ", \"style\": " + std::to_string(style) + ", \"answer\": " + std::to_string(answer) + "}";
}

TranscriptDialog::TranscriptDialog(std::unique_ptr<platform::Dialog> inner, std::string path)
    : inner_(std::move(inner)), path_(std::move(path)) {}

int32_t TranscriptDialog::show(const std::string& prompt, int32_t style,
                               const std::string& caption) {
  const int32_t answer = inner_->show(prompt, style, caption);
  // Opened and closed for each box, so that the lines are on disk even when the program
  // ends at once right after the box.
  std::ofstream out(path_, std::ios::app | std::ios::binary);
  out << transcriptLine(caption, prompt, style, answer) << '\n';
  out.close();
  if (!out) raiseError(err::kPathFileAccessError);
  return answer;
}

}  // namespace tollwick
