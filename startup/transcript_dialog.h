#pragma once
// Wraps another dialog and appends every box it shows, with its answer, to a transcript
// file as one line of JSON:
//   {"caption": "...", "prompt": "...", "style": 4, "answer": 6}
// Texts are written in UTF-8.

#include <memory>
#include <string>

#include "platform/dialog.h"

namespace tollwick {

std::string transcriptLine(const std::string& caption, const std::string& prompt, int32_t style,
                           int32_t answer);

class TranscriptDialog : public platform::Dialog {
 public:
  TranscriptDialog(std::unique_ptr<platform::Dialog> inner, std::string path);

  // A transcript that cannot be written is error 75, raised after the box was answered.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;
  void setBusyPointer() override { inner_->setBusyPointer(); }
  void processPendingMessages() override { inner_->processPendingMessages(); }

 private:
  std::unique_ptr<platform::Dialog> inner_;
  std::string path_;
};

}  // namespace tollwick
