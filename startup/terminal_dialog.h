#pragma once
// The dialog on a terminal: caption, prompt and buttons on the output stream, the answer
// read from the input stream.

#include <istream>
#include <ostream>

#include "platform/dialog.h"

namespace tollwick {

class TerminalDialog : public platform::Dialog {
 public:
  TerminalDialog(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  // Yes/No: y, yes, n or no in any case; anything else asks again; end of input is No.
  // OK: Enter; end of input is OK. Output that cannot be written is error 57.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;

 private:
  void write(const std::string& utf8);
  int32_t askYesNo();

  std::istream& in_;
  std::ostream& out_;
};

}  // namespace tollwick
