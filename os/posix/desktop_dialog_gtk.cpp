// The desktop's own message boxes on Linux: one modal GTK 3 dialog per box, and the
// desktop's folder chooser. Built as the dialog module, which the program loads only
// when it shows its first box or chooser as a window.
//
// A box is built by hand (icon, wrapped text, buttons) rather than as a GtkMessageDialog,
// because GTK 3 no longer draws the message type's icon, and the icon is part of a box.
// Keyboard behaviour follows the Windows message box: Enter presses the default button
// (the first one, which has the focus); Escape and the window's close button answer an
// OK box with OK and do nothing on a Yes/No box, which has no Cancel.

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <locale.h>
#include <poll.h>
#include <sys/socket.h>

#include <string>

#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

// Windows texts end their lines with CR LF; a label wants LF alone. The program hands
// the module its texts in UTF-8 (desktop_dialog.cpp).
std::string labelText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

const char* iconName(int32_t style) {
  switch (style & 0xF0) {
    case 0x10:
      return "dialog-error";
    case 0x20:
      return "dialog-question";
    case 0x30:
      return "dialog-warning";
    case 0x40:
      return "dialog-information";
    default:
      return nullptr;
  }
}

bool isYesNo(int32_t style) { return (style & 0xF) == box::kYesNo; }

// A button's label in the desktop's language, from the toolkit's own translations, as
// the system's message boxes label their buttons on Windows. The program keeps the C
// locale: the player's is taken for this look-up alone.
std::string buttonLabel(const char* label) {
  const locale_t messages = ::newlocale(LC_MESSAGES_MASK, "", nullptr);
  if (messages == nullptr) return label;
  const locale_t previous = ::uselocale(messages);
  std::string text = g_dgettext("gtk30", label);
  ::uselocale(previous);
  ::freelocale(messages);
  return text;
}

// True while the connection to the display is open. A display that went away is seen on
// its socket (hang-up or end of stream) before any toolkit call touches it: the toolkit
// itself would end the process on the first request.
bool displayAlive(GdkDisplay* display) {
  if (display == nullptr) return false;
  int fd = -1;
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(display)) fd = ConnectionNumber(gdk_x11_display_get_xdisplay(display));
#endif
  if (fd < 0) return !gdk_display_is_closed(display);
  pollfd probe{fd, POLLIN, 0};
  if (::poll(&probe, 1, 0) < 0) return false;
  if ((probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  if ((probe.revents & POLLIN) != 0) {
    char byte;
    if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) return false;
  }
  return true;
}

struct BoxState {
  int32_t style = 0;
  int32_t answer = 0;  // 0 while the box waits
};

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* state = static_cast<BoxState*>(data);
  if (!isYesNo(state->style)) state->answer = box::kAnswerOk;
  return TRUE;  // the window stays until the answer is taken
}

void onResponse(GtkDialog*, gint response, gpointer data) {
  auto* state = static_cast<BoxState*>(data);
  if (response == box::kAnswerOk || response == box::kAnswerYes || response == box::kAnswerNo) {
    state->answer = response;
  }
}

class GtkDesktopDialog : public Dialog {
 public:
  explicit GtkDesktopDialog(GdkDisplay* display) : display_(display) {}

  ~GtkDesktopDialog() override {
    if (busy_ && displayAlive(display_)) showBusyPointer(false);
  }

  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    if (!displayAlive(display_)) return box::kNotShown;
    // A box takes the hourglass off, as the desktop's own pointer comes back on Windows
    // once the pointer moves over a box. Nothing of the program's is left on the display
    // afterwards, so a program that ends at once after a box leaves no hourglass behind.
    if (busy_) {
      showBusyPointer(false);
      busy_ = false;
    }

    BoxState state;
    state.style = style;
    GtkWidget* window = gtk_dialog_new();
    GtkDialog* dialog = GTK_DIALOG(window);
    gtk_window_set_title(GTK_WINDOW(window), labelText(caption).c_str());
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_deletable(GTK_WINDOW(window), isYesNo(style) ? FALSE : TRUE);
    gtk_window_set_icon_name(GTK_WINDOW(window), "tollwick");

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(row), 12);
    if (const char* icon = iconName(style)) {
      GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
      gtk_widget_set_valign(image, GTK_ALIGN_START);
      gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    }
    GtkWidget* label = gtk_label_new(labelText(prompt).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    gtk_widget_set_valign(label, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(dialog)), row, TRUE, TRUE, 0);

    GtkWidget* first = nullptr;
    if (isYesNo(style)) {
      first = gtk_dialog_add_button(dialog, buttonLabel("_Yes").c_str(), box::kAnswerYes);
      gtk_dialog_add_button(dialog, buttonLabel("_No").c_str(), box::kAnswerNo);
    } else {
      first = gtk_dialog_add_button(dialog, buttonLabel("_OK").c_str(), box::kAnswerOk);
    }
    gtk_dialog_set_default_response(dialog, isYesNo(style) ? box::kAnswerYes : box::kAnswerOk);

    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &state);
    g_signal_connect(window, "response", G_CALLBACK(onResponse), &state);
    gtk_widget_show_all(window);
    gtk_widget_grab_focus(first);
    gtk_window_present(GTK_WINDOW(window));

    while (state.answer == 0) gtk_main_iteration_do(TRUE);

    gtk_widget_destroy(window);
    processPendingMessages();
    return state.answer;
  }

  // GTK's native file chooser, picking folders: the desktop's own (through its portal
  // where the desktop has one, GTK's chooser otherwise). It opens in the home folder.
  bool offersFolderChooser() override { return true; }

  FolderChoice chooseFolder(const std::string& title) override {
    if (!displayAlive(display_)) return {};
    if (busy_) {
      showBusyPointer(false);
      busy_ = false;
    }
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        labelText(title).c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        buttonLabel("_Select").c_str(), buttonLabel("_Cancel").c_str());
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), g_get_home_dir());
    FolderChoice choice;
    choice.outcome = FolderChoice::Outcome::kCancelled;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
      if (gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
        choice.outcome = FolderChoice::Outcome::kChosen;
        choice.folder = folder;  // UTF-8: desktop_dialog.cpp makes it a program text
        g_free(folder);
      }
    }
    g_object_unref(chooser);
    processPendingMessages();
    return choice;
  }

  // The program has no window of its own, so the hourglass goes on the display's root
  // window (seen over the desktop); the next box, or the program's normal end, takes it
  // off.
  void setBusyPointer() override {
    busy_ = true;
    if (displayAlive(display_)) showBusyPointer(true);
  }

  // Handles what is waiting and returns at once; bounded, so a source that keeps
  // rescheduling itself cannot hold the program here.
  void processPendingMessages() override {
    if (!displayAlive(display_)) return;
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
  }

 private:
  void showBusyPointer(bool on) {
    GdkWindow* root = gdk_screen_get_root_window(gdk_display_get_default_screen(display_));
    if (root == nullptr) return;
    GdkCursor* cursor = on ? gdk_cursor_new_for_display(display_, GDK_WATCH) : nullptr;
    gdk_window_set_cursor(root, cursor);
    if (cursor != nullptr) g_object_unref(cursor);
    gdk_display_flush(display_);
  }

  GdkDisplay* display_;
  bool busy_ = false;
};

// The dialog module's entry (os/posix/program_module.h): the desktop's dialog, or
// null when the toolkit cannot open the display. The program's own texts and numbers
// keep the C locale; the toolkit works in UTF-8 without it.
Dialog* makeGtkDialog() {
  static const bool started = [] {
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  if (!started) return nullptr;
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return nullptr;
  return new GtkDesktopDialog(display);
}

}  // namespace
}  // namespace tollwick::platform

extern "C" __attribute__((visibility("default"))) tollwick::platform::Dialog*
tollwick_desktop_dialog_v2() {
  return tollwick::platform::makeGtkDialog();
}
