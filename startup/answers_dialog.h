#pragma once
// The dialog that shows nothing: Yes/No boxes take their answers, in order, from a list
// given in advance (TOLLWICK_ANSWERS); OK boxes are acknowledged without using one.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialog.h"

namespace tollwick {

// Parses comma-separated "yes"/"no" words (any case, spaces around a word ignored).
// Returns the answer codes, or nullopt with `badWord` set to the first other word.
std::optional<std::deque<int32_t>> parseAnswers(std::string_view text, std::string& badWord);

class AnswersDialog : public platform::Dialog {
 public:
  explicit AnswersDialog(std::deque<int32_t> answers) : answers_(std::move(answers)) {}

  // A Yes/No box finding no answer left gets No.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;

 private:
  std::deque<int32_t> answers_;
};

// True for the style codes whose box has Yes and No buttons.
bool isYesNoStyle(int32_t style);

}  // namespace tollwick
