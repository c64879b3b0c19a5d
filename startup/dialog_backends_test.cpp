#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/append_file.h"

#include "platform/testing/scoped_code_page.h"
#include "platform/testing/scratch_directory.h"
#include "runtime/testing/recording_dialog.h"
#include "startup/answers_dialog.h"
#include "startup/dialog_choice.h"
#include "startup/terminal_dialog.h"
#include "startup/transcript_dialog.h"

namespace tollwick {
namespace {

constexpr int32_t kYes = 6, kNo = 7, kOk = 1;

std::deque<int32_t> parsed(const std::string& text) {
  std::string bad;
  auto answers = parseAnswers(text, bad);
  EXPECT_TRUE(answers.has_value()) << "refused word: " << bad;
  return answers.value_or(std::deque<int32_t>{});
}

TEST(AnswersList, AcceptsYesAndNoInAnyCase) {
  EXPECT_EQ(parsed("yes,NO, Yes ,no"), (std::deque<int32_t>{kYes, kNo, kYes, kNo}));
  EXPECT_TRUE(parsed("").empty());
  EXPECT_TRUE(parsed("  ").empty());
}

TEST(AnswersList, NamesTheFirstWordThatIsNeitherYesNorNo) {
  std::string bad;
  EXPECT_FALSE(parseAnswers("yes,maybe,no", bad));
  EXPECT_EQ(bad, "maybe");
  EXPECT_FALSE(parseAnswers("y", bad));
  EXPECT_EQ(bad, "y");
  EXPECT_FALSE(parseAnswers("yes,,no", bad));
  EXPECT_EQ(bad, "");
}

TEST(AnswersDialog, OkBoxesUseNoAnswerAndAnExhaustedListAnswersNo) {
  AnswersDialog dialog({kYes});
  EXPECT_EQ(dialog.show("Done!", 0, "T"), kOk);
  EXPECT_EQ(dialog.show("Note", 48, "T"), kOk);
  EXPECT_EQ(dialog.show("Go?", 4, "T"), kYes);
  EXPECT_EQ(dialog.show("Again?", 4, "T"), kNo);
}

TEST(TerminalDialog, ReadsYesAndNoAndAsksAgainOnAnythingElse) {
  std::istringstream in("maybe\nYES\nn\n");
  std::ostringstream out;
  TerminalDialog dialog(in, out);
  EXPECT_EQ(dialog.show("Fix?", 4, "Tollwick"), kYes);
  EXPECT_EQ(dialog.show("Fix?", 4, "Tollwick"), kNo);
  EXPECT_THAT(out.str(), ::testing::HasSubstr("== Tollwick ==\nFix?\n[Yes] [No] ? [Yes] [No] ? "));
}

TEST(TerminalDialog, EndOfInputAnswersNoToAQuestionAndOkToAMessage) {
  std::istringstream in("");
  std::ostringstream out;
  TerminalDialog dialog(in, out);
  EXPECT_EQ(dialog.show("Fix?", 4, "T"), kNo);
  EXPECT_EQ(dialog.show("Done!", 0, "T"), kOk);
}

TEST(TerminalDialog, WritesWindows1252TextsAsUtf8) {
  tollwick::testing::ScopedCodePage western(1252);
  std::istringstream in("\n");
  std::ostringstream out;
  TerminalDialog dialog(in, out);
  dialog.show("caf\xE9", 64, "\x80");
  EXPECT_THAT(out.str(), ::testing::HasSubstr("== \xE2\x82\xAC ==\n[i] caf\xC3\xA9\n"));
}

TEST(TerminalDialog, AnOutputThatCannotBeWrittenIsABoxNotShownNeverAnAnswer) {
  std::istringstream in("yes\n");
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  TerminalDialog dialog(in, out);
  EXPECT_EQ(dialog.show("Fix?", 4, "T"), platform::box::kNotShown);
}

class TranscriptFile : public ::testing::Test {
 protected:
  std::string read() {
    std::ifstream in(path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  testing::ScratchDirectory scratch_{"tollwick-transcript-"};
  std::string path_ = scratch_.file("transcript.jsonl");
};

TEST_F(TranscriptFile, RecordsEveryBoxWithItsAnswerAsOneJsonLine) {
  tollwick::testing::ScopedCodePage western(1252);
  auto file = platform::openAppendFile(path_);
  ASSERT_TRUE(file.ok()) << file.status().context();
  TranscriptDialog dialog(std::make_unique<AnswersDialog>(std::deque<int32_t>{kYes}),
                          std::move(file).value());
  dialog.show("Fix Character File Now?", 4, "Tollwick");
  dialog.show("Say \"caf\xE9\"\\", 0, "Tollwick");
  dialog.show("Again?", 4, "T");
  EXPECT_EQ(
      read(),
      "{\"caption\": \"Tollwick\", \"prompt\": \"Fix Character File Now?\", \"style\": 4, "
      "\"answer\": 6}\n"
      "{\"caption\": \"Tollwick\", \"prompt\": \"Say \\\"caf\xC3\xA9\\\"\\\\\", \"style\": 0, "
      "\"answer\": 1}\n"
      "{\"caption\": \"T\", \"prompt\": \"Again?\", \"style\": 4, \"answer\": 7}\n");
}

// A transcript that cannot be written is known before the first box, with the reason.
TEST(Transcript, OneThatCannotBeWrittenIsRefusedWhenOpened) {
  const testing::ScratchDirectory scratch("tollwick-transcript-");
  std::vector<std::string> unwritable = {scratch.path().string(),
                                         scratch.file("missing-folder/transcript.jsonl")};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(scratch.file("fifo").c_str(), 0600), 0);
  unwritable.push_back(scratch.file("fifo"));  // nobody reads it
  unwritable.push_back("/dev/full");
#endif
  for (const std::string& path : unwritable) {
    DialogEnvironment env;
    env.transcript = path;
    std::ostringstream errors;
    EXPECT_FALSE(openTranscript(env, errors)) << path;
    EXPECT_THAT(errors.str(), ::testing::HasSubstr("TOLLWICK_TRANSCRIPT")) << path;
  }
}

#ifndef _WIN32
// A pipe whose reader does not read fills up: the append fails instead of waiting.
TEST(Transcript, WritingToAPipeNobodyEmptiesNeverBlocks) {
  const testing::ScratchDirectory scratch("tollwick-transcript-");
  const std::string fifo = scratch.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const auto file = platform::openAppendFile(fifo);
  ASSERT_TRUE(file.ok()) << file.status().context();
  const std::string line(4096, 'x');
  bool failed = false;
  for (int i = 0; i < 1024 && !failed; ++i) failed = !(*file)->append(line);
  EXPECT_TRUE(failed);
  ::close(reader);
}
#endif

TEST(DialogChoice, AnswersTakePrecedenceAndTheTranscriptWrapsAnyBackend) {
  std::istringstream in("yes\n");
  std::ostringstream out;
  std::string bad;
  DialogEnvironment env;
  env.answers = "no";
  env.desktopSession = true;
  auto dialog = chooseDialog(env, in, out, bad);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->show("Go?", 4, "T"), kNo);
  EXPECT_EQ(out.str(), "");  // nothing shown

  env.answers.reset();
  const testing::ScratchDirectory scratch("tollwick-choice-");
  env.transcript = scratch.file("transcript.jsonl");
  dialog = chooseDialog(env, in, out, bad);
  EXPECT_EQ(dialog->show("Go?", 4, "T"), kYes);  // the terminal read "yes"
  EXPECT_NE(dynamic_cast<TranscriptDialog*>(dialog.get()), nullptr);
}

TEST(DialogChoice, AWrongAnswerWordGivesNoDialog) {
  std::istringstream in;
  std::ostringstream out;
  std::string bad;
  DialogEnvironment env;
  env.answers = "yes,sure";
  EXPECT_EQ(chooseDialog(env, in, out, bad), nullptr);
  EXPECT_EQ(bad, "sure");
}

// The desktop's dialog as the platform makes it: a box it cannot show (its display went
// away) comes back as not shown.
struct DesktopDouble : testing::RecordingDialog {
  bool displayGone = false;
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    if (displayGone) return platform::box::kNotShown;
    return RecordingDialog::show(prompt, style, caption);
  }
};

// A desktop factory for the choice: counts the dialogs it makes and keeps the last.
struct FakeDesktop {
  int made = 0;
  DesktopDouble* last = nullptr;
  std::function<std::unique_ptr<platform::Dialog>()> factory() {
    return [this]() -> std::unique_ptr<platform::Dialog> {
      ++made;
      auto dialog = std::make_unique<DesktopDouble>();
      last = dialog.get();
      return dialog;
    };
  }
};

TEST(DialogChoice, AnswersThenTerminalByNameBeatADisplayWhichOtherwiseGetsTheDesktop) {
  std::istringstream in("yes\n");
  std::ostringstream out;
  std::string bad;
  FakeDesktop desktop;
  DialogEnvironment env;
  env.desktopSession = true;
  env.desktopDialog = desktop.factory();

  env.answers = "no";
  EXPECT_EQ(chooseDialog(env, in, out, bad)->show("Go?", 4, "T"), kNo);
  env.answers.reset();
  env.dialog = "terminal";
  EXPECT_EQ(chooseDialog(env, in, out, bad)->show("Go?", 4, "T"), kYes);
  EXPECT_EQ(desktop.made, 0);

  env.dialog.reset();
  auto dialog = chooseDialog(env, in, out, bad);
  ASSERT_EQ(desktop.made, 1);
  desktop.last->answers = {kYes};
  EXPECT_EQ(dialog->show("Go?", 4, "T"), kYes);
  dialog->setBusyPointer();
  dialog->processPendingMessages();
  EXPECT_EQ(desktop.last->boxes.size(), 1U);
  EXPECT_EQ(desktop.last->busyPointerCalls, 1);
  EXPECT_EQ(desktop.last->pendingMessageCalls, 1);
}

TEST(DialogChoice, ABoxTheDesktopCannotShowGoesToTheTerminalAndWithNoneIsNotShown) {
  std::istringstream in("no\n");
  std::ostringstream out;
  std::string bad;
  FakeDesktop desktop;
  DialogEnvironment env;
  env.desktopSession = true;
  env.desktopDialog = desktop.factory();
  auto dialog = chooseDialog(env, in, out, bad);
  desktop.last->displayGone = true;
  EXPECT_EQ(dialog->show("Fix?", 4, "T"), kNo);
  EXPECT_THAT(out.str(), ::testing::HasSubstr("Fix?"));

  // No terminal either: not shown, for questions and messages alike, never an answer.
  env.terminalInput = false;
  dialog = chooseDialog(env, in, out, bad);
  desktop.last->displayGone = true;
  EXPECT_EQ(dialog->show("Fix?", 4, "T"), platform::box::kNotShown);
  env.desktopSession = false;
  dialog = chooseDialog(env, in, out, bad);
  EXPECT_EQ(dialog->show("Done!", 0, "T"), platform::box::kNotShown);
  env.desktopSession = true;
  env.desktopDialog = [] { return std::unique_ptr<platform::Dialog>(); };  // no display to open
  dialog = chooseDialog(env, in, out, bad);
  EXPECT_EQ(dialog->show("Fix?", 4, "T"), platform::box::kNotShown);
}

// Windows: a desktop always, and a box it cannot show is the box error even with a console
// to answer from; the console answers only when the terminal is asked for by name.
TEST(DialogChoice, OnWindowsABoxTheDesktopCannotShowNeverGoesToTheConsole) {
  std::istringstream in("yes\nyes\n");
  std::ostringstream out;
  std::string bad;
  FakeDesktop desktop;
  DialogEnvironment env;
  env.desktopSession = true;
  env.terminalStandsInForDesktop = false;
  env.desktopDialog = desktop.factory();
  auto dialog = chooseDialog(env, in, out, bad);
  desktop.last->displayGone = true;
  EXPECT_EQ(dialog->show("Fix?", 4, "T"), platform::box::kNotShown);
  EXPECT_EQ(out.str(), "");
  env.dialog = "terminal";
  EXPECT_EQ(chooseDialog(env, in, out, bad)->show("Fix?", 4, "T"), kYes);
}

}  // namespace
}  // namespace tollwick
