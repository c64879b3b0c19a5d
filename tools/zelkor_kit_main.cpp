// zelkor-kit: makes sample game installations and inspects game files.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/dialog.h"
#include "platform/process.h"
#include "platform/seam.h"
#include "runtime/message_box.h"
#include "runtime/run_time_error.h"
#include "tools/inspect.h"
#include "tools/kit_options.h"
#include "tools/make_install.h"

namespace {

// The file and security layers report run-time errors in message boxes; the kit is a
// command-line tool, so they go to standard error.
class StderrDialog : public tollwick::platform::Dialog {
 public:
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    std::cerr << "[" << tollwick::ansiToUtf8(caption) << "] " << tollwick::ansiToUtf8(prompt)
              << "\n";
    return style == tollwick::platform::box::kYesNo ? tollwick::platform::box::kAnswerNo
                                                    : tollwick::platform::box::kAnswerOk;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tollwick;
  platform::use<platform::Process>().reportWriteFailuresAsErrors();
  StderrDialog dialog;
  platform::Installed<platform::Dialog> installedDialog(dialog);
  try {
    const kit::KitCommand command =
        kit::parseKitCommand(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.kind) {
      case kit::KitCommand::Kind::kHelp:
        std::cout << kit::kKitHelp;
        return 0;
      case kit::KitCommand::Kind::kVersion: {
        std::string version = kVersionText;
        while (!version.empty() && version.back() == ' ') version.pop_back();
        std::cout << "zelkor-kit " << version << "\n";
        return 0;
      }
      case kit::KitCommand::Kind::kInspect:
        return kit::inspectFile(command.target, std::cout);
      case kit::KitCommand::Kind::kMakeInstall: {
        const std::string programDirectory =
            platform::use<platform::Process>().applicationDirectory();
        kit::makeInstallation(command.target, programDirectory, command.options, std::cerr);
        std::cout << "made installation " << command.target << "\n";
        return 0;
      }
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "zelkor-kit: " << e.what() << "\n(zelkor-kit --help tells more)\n";
    return 2;
  } catch (const RunTimeError& e) {
    std::cerr << "zelkor-kit: error " << e.number() << ": " << ansiToUtf8(e.description()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zelkor-kit: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
