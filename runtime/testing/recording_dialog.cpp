#include "runtime/testing/recording_dialog.h"

namespace tollwick::testing {

int32_t RecordingDialog::show(const std::string& prompt, int32_t style,
                              const std::string& caption) {
  if (cannotShowNext) {
    cannotShowNext = false;
    return platform::box::kNotShown;
  }
  int32_t answer = platform::box::kAnswerOk;
  if ((style & 0xF) == platform::box::kYesNo) {
    answer = platform::box::kAnswerNo;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
  }
  boxes.push_back({prompt, style, caption, answer});
  return answer;
}

std::vector<std::string> RecordingDialog::prompts() const {
  std::vector<std::string> out;
  for (const auto& box : boxes) out.push_back(box.prompt);
  return out;
}

}  // namespace tollwick::testing
