// The GTK message boxes on a real (virtual) display: started by with_xvfb.sh, answered
// with real key presses and clicks through xdotool, photographed with import into
// TOLLWICK_SCREENSHOTS so that a person can look at them.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

// After gtest: X11's macros (None, ...) would clash with its names.
#include <gdk/gdkx.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

// What a box showed, read from its widgets while it was up.
struct Shown {
  std::string title;
  std::vector<std::string> labels;
  std::vector<std::string> buttons;  // with their mnemonic marks, as "_Yes"
  std::vector<GtkWidget*> buttonWidgets;
  std::vector<std::string> icons;
  std::vector<std::string> missingIcons;  // named but not in the icon theme
};

void collect(GtkWidget* widget, Shown& shown) {
  if (GTK_IS_BUTTON(widget)) {
    if (const char* label = gtk_button_get_label(GTK_BUTTON(widget))) {
      shown.buttons.push_back(label);
      shown.buttonWidgets.push_back(widget);
    }
    return;
  }
  if (GTK_IS_LABEL(widget)) shown.labels.push_back(gtk_label_get_text(GTK_LABEL(widget)));
  if (GTK_IS_IMAGE(widget)) {
    const char* name = nullptr;
    gtk_image_get_icon_name(GTK_IMAGE(widget), &name, nullptr);
    if (name != nullptr) {
      shown.icons.push_back(name);
      if (!gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), name)) {
        shown.missingIcons.push_back(name);
      }
    }
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr; child = child->next) {
      collect(GTK_WIDGET(child->data), shown);
    }
    g_list_free(children);
  }
}

int run(const std::string& command) { return std::system(command.c_str()); }

// Waits, inside the box's own event loop, for the box to be on the screen; then reads
// it, photographs it and plays the user's part: keys ("key Escape") or a click on a
// button ("click _No").
class User {
 public:
  User(std::string screenshot, std::vector<std::string> actions)
      : screenshot_(std::move(screenshot)), actions_(std::move(actions)) {
    g_timeout_add(100, &User::tick, this);
  }

  Shown shown;
  bool acted = false;

 private:
  static gboolean tick(gpointer data) {
    auto* self = static_cast<User*>(data);
    GtkWidget* box = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
      if (gtk_widget_get_mapped(GTK_WIDGET(w->data))) box = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    // A few ticks after it is mapped, the box has been drawn.
    if (box == nullptr || ++self->seen_ < 4) return G_SOURCE_CONTINUE;
    self->act(box);
    return G_SOURCE_REMOVE;
  }

  void act(GtkWidget* box) {
    shown.title = gtk_window_get_title(GTK_WINDOW(box));
    collect(box, shown);
    const auto xid = GDK_WINDOW_XID(gtk_widget_get_window(box));
    if (!screenshot_.empty())
      run("import -frame -window " + std::to_string(xid) + " '" + screenshot_ + "'");
    run("xdotool windowfocus --sync " + std::to_string(xid));
    for (const std::string& action : actions_) {
      if (action.rfind("click ", 0) == 0)
        click(action.substr(6));
      else
        run("xdotool " + action);
    }
    acted = true;
  }

  void click(const std::string& label) {
    GtkWidget* button = nullptr;
    for (std::size_t i = 0; i < shown.buttons.size(); ++i) {
      if (shown.buttons[i] == label) button = shown.buttonWidgets[i];
    }
    ASSERT_NE(button, nullptr) << "no button " << label;
    GtkAllocation at;
    gtk_widget_get_allocation(button, &at);
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(button), &x, &y);
    run("xdotool mousemove " + std::to_string(x + at.x + at.width / 2) + " " +
        std::to_string(y + at.y + at.height / 2) + " click 1");
  }

  std::string screenshot_;
  std::vector<std::string> actions_;
  int seen_ = 0;
};

std::string screenshot(const std::string& name) {
  const char* dir = std::getenv("TOLLWICK_SCREENSHOTS");
  if (dir == nullptr) return "";
  std::filesystem::create_directories(dir);
  return std::string(dir) + "/" + name;
}

Dialog& desktop() {
  static std::unique_ptr<Dialog> dialog = makeDesktopDialog();
  if (!dialog) {
    const char* display = std::getenv("DISPLAY");
    ADD_FAILURE() << "no desktop dialog on DISPLAY=" << (display != nullptr ? display : "");
    std::abort();
  }
  return *dialog;
}

TEST(GtkDialog, AYesNoBoxShowsCaptionPromptAndButtonsAndAnswersTheButtonClicked) {
  // The hourglass and waiting messages, then a box over them: nothing hangs.
  desktop().setBusyPointer();
  desktop().processPendingMessages();
  // Windows-1252 text with CR LF line ends, one line long enough to be wrapped.
  const std::string prompt = "Caf\xE9 \x80 5\r\n" + std::string(40, 'x') + " " +
                             std::string(200, 'y') + "\r\nFix Character File Now?";
  User yes(screenshot("box-style-4-yes-no.png"), {"click _Yes"});
  EXPECT_EQ(desktop().show(prompt, box::kYesNo, "Tollwick \xE9"), box::kAnswerYes);
  ASSERT_TRUE(yes.acted);
  EXPECT_EQ(yes.shown.title, "Tollwick \xC3\xA9");
  EXPECT_EQ(yes.shown.labels.at(0), "Caf\xC3\xA9 \xE2\x82\xAC 5\n" + std::string(40, 'x') + " " +
                                        std::string(200, 'y') + "\nFix Character File Now?");
  EXPECT_EQ(yes.shown.buttons, (std::vector<std::string>{"_Yes", "_No"}));
  EXPECT_TRUE(yes.shown.icons.empty());

  User no("", {"click _No"});
  EXPECT_EQ(desktop().show("Fix Character File Now?", box::kYesNo, "Tollwick"), box::kAnswerNo);
  EXPECT_TRUE(no.acted);
}

TEST(GtkDialog, EnterPressesTheDefaultButtonAndEscapeDoesNotAnswerAYesNoBox) {
  User user("", {"key Escape", "sleep 0.3", "key Return"});
  EXPECT_EQ(desktop().show("Fix Character File Now?", box::kYesNo, "Tollwick"), box::kAnswerYes);
  EXPECT_TRUE(user.acted);
}

TEST(GtkDialog, OkBoxesShowTheirStylesIconAndCloseWithEnterOrEscape) {
  struct Case {
    int32_t style;
    const char* icon;  // null: none
    const char* key;
    const char* file;
  };
  for (const Case& c :
       {Case{box::kOk, nullptr, "Return", "box-style-0-ok.png"},
        Case{box::kExclamation, "dialog-warning", "Escape", "box-style-48-exclamation.png"},
        Case{box::kInformation, "dialog-information", "Return", "box-style-64-information.png"}}) {
    SCOPED_TRACE(c.style);
    User user(screenshot(c.file), {std::string("key ") + c.key});
    EXPECT_EQ(desktop().show("Zelkor has not been installed and run yet!", c.style, "Tollwick"),
              box::kAnswerOk);
    EXPECT_EQ(user.shown.buttons, (std::vector<std::string>{"_OK"}));
    EXPECT_EQ(user.shown.icons,
              c.icon ? std::vector<std::string>{c.icon} : std::vector<std::string>{});
    EXPECT_TRUE(user.shown.missingIcons.empty()) << "the icon theme lacks " << c.icon;
  }
}

// Run alone, on a display of its own that it ends (with_xvfb.sh names its server).
TEST(DisplayGone, ABoxOnADisplayThatWentAwayIsNotShownNotAnAnswer) {
  desktop().processPendingMessages();
  const char* server = std::getenv("TOLLWICK_XVFB_PID");
  ASSERT_NE(server, nullptr);
  ASSERT_EQ(::kill(std::atoi(server), SIGKILL), 0);
  ::usleep(300000);
  EXPECT_EQ(desktop().show("Fix Character File Now?", box::kYesNo, "Tollwick"), box::kNotShown)
      << "a box that could not be shown was answered";
  desktop().processPendingMessages();  // returns, and does not end the process
}

}  // namespace
}  // namespace tollwick::platform
