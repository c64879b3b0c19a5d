#pragma once
// A dialog for tests: records every box and answers Yes/No boxes from a script.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/seam.h"

namespace tollwick::testing {

struct ShownBox {
  std::string prompt;
  int32_t style = 0;
  std::string caption;
  int32_t answer = 0;
  bool operator==(const ShownBox&) const = default;
};

class RecordingDialog : public platform::Dialog {
 public:
  std::vector<ShownBox> boxes;
  std::deque<int32_t> answers;  // consumed by Yes/No boxes; none left answers No
  int busyPointerCalls = 0;
  int pendingMessageCalls = 0;
  // When set, the next box cannot be shown (show() answers box::kNotShown).
  bool cannotShowNext = false;

  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;
  void setBusyPointer() override { ++busyPointerCalls; }
  void processPendingMessages() override { ++pendingMessageCalls; }

  std::vector<std::string> prompts() const;
};

// Installs a RecordingDialog for the life of the object.
class ScopedRecordingDialog : public RecordingDialog {
 public:
  ScopedRecordingDialog() : installed_(*this) {}

 private:
  platform::Installed<platform::Dialog> installed_;
};

}  // namespace tollwick::testing
