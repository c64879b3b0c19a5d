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
  // OK: Enter; end of input is OK. A box whose output cannot be written is not shown.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;

 private:
  // False when the output cannot be written.
  bool write(const std::string& utf8);
  int32_t askYesNo();

  std::istream& in_;
  std::ostream& out_;
};

}  // namespace tollwick
