// zelkor-kit: makes sample game installations and inspects game files.

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/code_page.h"
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

// The arguments in UTF-8: Linux hands them over so, Windows in its code page.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
  std::vector<std::string> arguments;
  for (const std::string& text : tollwick::platform::commandLineArguments(argc, argv)) {
    arguments.push_back(tollwick::ansiToUtf8(text));
  }
  return arguments;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

// A host path given in UTF-8.
std::filesystem::path hostPathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tollwick;
  platform::use<platform::Process>().reportWriteFailuresAsErrors();
  StderrDialog dialog;
  platform::Installed<platform::Dialog> installedDialog(dialog);
  std::unique_ptr<platform::CodePage> codePage;
  std::optional<platform::Installed<platform::CodePage>> installedCodePage;
  try {
    kit::KitCommand command = kit::parseKitCommand(utf8Arguments(argc, argv));
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
        return kit::inspectFile(hostPathOf(command.target).string(), std::cout);
      case kit::KitCommand::Kind::kMakeInstall: {
        // A localised game is written as a system of its language writes it: every text
        // (the paths among them) in that language's code page.
        if (command.localization != nullptr) {
          codePage = platform::codePageNumbered(command.localization->codePage);
          if (codePage == nullptr) {
            throw std::runtime_error("this system converts no code page " +
                                     std::to_string(command.localization->codePage));
          }
          installedCodePage.emplace(*codePage);
        }
        kit::InstallationOptions& options = command.options;
        for (std::string* text : {&options.systemName, &options.secondText, &options.thirdText,
                                  &options.signatureText}) {
          *text = utf8ToAnsi(*text);
        }
        const std::string programDirectory =
            platform::use<platform::Process>().applicationDirectory();
        kit::makeInstallation(hostPathOf(command.target), programDirectory, options, std::cerr);
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
