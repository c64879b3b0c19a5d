#include "startup/terminal_dialog.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "base/text.h"
#include "platform/ansi_text.h"
#include "startup/answers_dialog.h"

namespace tollwick {
namespace {

std::string iconLabel(int32_t style) {
  switch (style & 0xF0) {
    case 0x10:
      return "[stop] ";
    case 0x20:
      return "[?] ";
    case 0x30:
      return "[!] ";
    case 0x40:
      return "[i] ";
    default:
      return "";
  }
}

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool TerminalDialog::write(const std::string& utf8) {
  out_ << utf8;
  out_.flush();
  return static_cast<bool>(out_);
}

int32_t TerminalDialog::askYesNo() {
  for (;;) {
    if (!write("[Yes] [No] ? ")) return platform::box::kNotShown;
    std::string line;
    if (!std::getline(in_, line)) {
      if (!write("\n")) return platform::box::kNotShown;
      return platform::box::kAnswerNo;
    }
    const std::string word = lowered(trimSpaces(line));
    if (word == "y" || word == "yes") return platform::box::kAnswerYes;
    if (word == "n" || word == "no") return platform::box::kAnswerNo;
  }
}

int32_t TerminalDialog::show(const std::string& prompt, int32_t style, const std::string& caption) {
  if (!write("\n== " + ansiToUtf8(caption) + " ==\n" + iconLabel(style) + ansiToUtf8(prompt) +
             "\n")) {
    return platform::box::kNotShown;
  }
  if (isYesNoStyle(style)) return askYesNo();
  if (!write("[OK] ")) return platform::box::kNotShown;
  std::string line;
  if (!std::getline(in_, line) && !write("\n")) return platform::box::kNotShown;
  return platform::box::kAnswerOk;
}

}  // namespace tollwick
