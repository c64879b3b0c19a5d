#pragma once
// Wraps another dialog and appends every box it shows, with its answer, to a transcript
// file as one line of JSON:
//   {"caption": "...", "prompt": "...", "style": 4, "answer": 6}
// and every use of the folder chooser, with the folder chosen (null: cancelled):
//   {"chooser": "Where is Zelkor installed?", "folder": "/home/ann/Games/Zelkor"}
// Texts are written in UTF-8.

#include <memory>
#include <string>

#include "platform/append_file.h"
#include "platform/dialog.h"

namespace tollwick {

std::string transcriptLine(const std::string& caption, const std::string& prompt, int32_t style,
                           int32_t answer);

std::string chooserLine(const std::string& title, const platform::FolderChoice& choice);

class TranscriptDialog : public platform::Dialog {
 public:
  // `file`: the transcript, opened before the first box (platform::openAppendFile).
  TranscriptDialog(std::unique_ptr<platform::Dialog> inner,
                   std::unique_ptr<platform::AppendFile> file);

  // A line that cannot be written ends the program at once, before the answer is acted
  // on, with the reason on standard error: a run is never left without its record.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override;
  bool offersFolderChooser() override { return inner_->offersFolderChooser(); }
  platform::FolderChoice chooseFolder(const std::string& title) override;
  void setBusyPointer() override { inner_->setBusyPointer(); }
  void processPendingMessages() override { inner_->processPendingMessages(); }

 private:
  void record(const std::string& line);

  std::unique_ptr<platform::Dialog> inner_;
  std::unique_ptr<platform::AppendFile> file_;
};

}  // namespace tollwick
