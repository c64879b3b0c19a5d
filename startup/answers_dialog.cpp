#include "startup/answers_dialog.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"

namespace tollwick {

bool isYesNoStyle(int32_t style) { return (style & 0xF) == platform::box::kYesNo; }

std::optional<std::deque<int32_t>> parseAnswers(std::string_view text, std::string& badWord) {
  std::deque<int32_t> answers;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    std::string word = trimSpaces(text.substr(start, comma - start));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (word == "yes") {
      answers.push_back(platform::box::kAnswerYes);
    } else if (word == "no") {
      answers.push_back(platform::box::kAnswerNo);
    } else if (!(word.empty() && text.find_first_not_of(' ') == std::string_view::npos)) {
      // Only an entirely blank variable means "no answers"; an empty word between
      // commas is as wrong as any other word.
      badWord = std::string(trimSpaces(text.substr(start, comma - start)));
      return std::nullopt;
    }
    start = comma + 1;
  }
  return answers;
}

int32_t AnswersDialog::show(const std::string&, int32_t style, const std::string&) {
  if (!isYesNoStyle(style)) return platform::box::kAnswerOk;
  if (answers_.empty()) return platform::box::kAnswerNo;
  const int32_t answer = answers_.front();
  answers_.pop_front();
  return answer;
}

}  // namespace tollwick
