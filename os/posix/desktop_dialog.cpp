// The desktop's message boxes on Linux come from the dialog module (GTK 3), loaded only
// when a desktop session asks for its first box: a run answered otherwise maps no part
// of the toolkit. A module that is missing or cannot be loaded (the toolkit is not
// installed) leaves the run without windows, said once on standard error; the start-up
// code then falls back as for a display it cannot open.

#include <iostream>
#include <memory>
#include <string>

#include "os/posix/program_module.h"
#include "platform/ansi_text.h"
#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

// The module takes its texts in UTF-8, the toolkit's own: the program's code page is
// known here, not in the module.
class Utf8Texts : public Dialog {
 public:
  explicit Utf8Texts(std::unique_ptr<Dialog> module) : module_(std::move(module)) {}
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    return module_->show(ansiToUtf8(prompt), style, ansiToUtf8(caption));
  }
  bool offersFolderChooser() override { return module_->offersFolderChooser(); }
  FolderChoice chooseFolder(const std::string& title) override {
    FolderChoice choice = module_->chooseFolder(ansiToUtf8(title));
    choice.folder = utf8ToAnsi(choice.folder);
    return choice;
  }
  void setBusyPointer() override { module_->setBusyPointer(); }
  void processPendingMessages() override { module_->processPendingMessages(); }

 private:
  std::unique_ptr<Dialog> module_;
};

}  // namespace

std::unique_ptr<Dialog> makeDesktopDialog() {
  using MakeDialog = Dialog* (*)();
  const Result<SymbolAddress> entry =
      programModuleEntry(kDialogModule, "tollwick_desktop_dialog_v2");
  if (!entry.ok()) {
    std::cerr << "tollwick: message boxes cannot be shown as windows: " << entry.status().context()
              << "\n";
    return nullptr;
  }
  // Null when the toolkit cannot open the display.
  std::unique_ptr<Dialog> module(reinterpret_cast<MakeDialog>(*entry)());
  if (module == nullptr) return nullptr;
  return std::make_unique<Utf8Texts>(std::move(module));
}

}  // namespace tollwick::platform
