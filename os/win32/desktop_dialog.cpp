// The desktop's own dialog on Windows: MessageBoxW, task-modal, with the style's buttons
// and icon; the common item dialog picking folders as the folder chooser; the hourglass
// pointer and the processing of waiting window messages.

#include <windows.h>

#include <shobjidl.h>  // after windows.h, whose types it uses

#include <cwchar>
#include <memory>
#include <string>

#include "os/win32/text.h"
#include "platform/dialog.h"

namespace tollwick::platform {
namespace {

class Win32Dialog : public Dialog {
 public:
  // 1 (OK), 6 (Yes) or 7 (No); kNotShown when no box could be shown (MessageBoxW returns 0 on
  // Windows and -1 under Wine without a display): the caller must treat that as the
  // failure it is, never as an answer.
  int32_t show(const std::string& prompt, int32_t style, const std::string& caption) override {
    const std::wstring text = win32::widen(prompt);
    const std::wstring title = win32::widen(caption);
    const int answer =
        MessageBoxW(nullptr, text.c_str(), title.c_str(), static_cast<UINT>(style) | MB_TASKMODAL);
    switch (answer) {
      case IDOK:
        return box::kAnswerOk;
      case IDYES:
        return box::kAnswerYes;
      case IDNO:
        return box::kAnswerNo;
      default:
        return box::kNotShown;
    }
  }

  // The common item dialog (the Explorer's own), picking file-system folders.
  bool offersFolderChooser() override { return true; }

  FolderChoice chooseFolder(const std::string& title) override {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) return {};
    FolderChoice choice;
    IFileOpenDialog* dialog = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&dialog)))) {
      FILEOPENDIALOGOPTIONS options = 0;
      dialog->GetOptions(&options);
      dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
      dialog->SetTitle(win32::widen(title).c_str());
      const HRESULT shown = dialog->Show(nullptr);
      if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        choice.outcome = FolderChoice::Outcome::kCancelled;
      } else if (SUCCEEDED(shown)) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetResult(&item))) {
          PWSTR path = nullptr;
          if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            choice.outcome = FolderChoice::Outcome::kChosen;
            choice.folder = win32::narrow(path, std::wcslen(path));
            CoTaskMemFree(path);
          }
          item->Release();
        }
      }
      dialog->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return choice;
  }

  void setBusyPointer() override { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

  void processPendingMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
};

}  // namespace

// A desktop is always there on Windows.
std::unique_ptr<Dialog> makeDesktopDialog() { return std::make_unique<Win32Dialog>(); }

}  // namespace tollwick::platform
