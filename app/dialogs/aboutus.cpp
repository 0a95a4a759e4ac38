// The about box, filled once when it is created from the text tables and the product's
// parameters. Its labels are plain static controls, which let mouse presses through to the
// window, so one handler serves the window, its labels and its picture.
#include "app/dialogs/aboutus.h"

#include <commctrl.h>

#include <memory>

#include "app/main_window/OmbrixUnit.h"
#include "app/texts/allparam.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/frame_pictures.h"
#include "app/forms/modal_dialog.h"
#include "base/barrier.h"
#include "base/resources.h"
#include "base/showform.h"
#include "base/text.h"

namespace app {

namespace {

class TFrmVersion : public ModalDialog {
 public:
  bool Build(HWND owner) {
    const std::wstring caption = base::Format(L"%s %s", StrAbout, ProductName);
    if (!CreateDialogWindow(L"TFrmVersion", caption, 380, 210, owner)) return false;
    // The hand cursor over the whole window, labels included (they let the mouse through).
    ::SetClassLongPtrW(hwnd(), GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(::LoadCursorW(nullptr, IDC_HAND)));
    frame_.Create(hwnd(), id::VersionFrameFirst);
    // The program's own icon (shared: the static control never destroys it).
    AddControl(L"STATIC", L"", SS_ICON, 16, 20, 32, 32, id::VersionImage1);
    ::SendMessageW(Item(id::VersionImage1), STM_SETICON, reinterpret_cast<WPARAM>(base::ProgramIcon(32)), 0);
    AddControl(L"STATIC", L"     " + ProductName, SS_LEFT, 60, 16, 300, 20, id::VersionLabel1);
    AddControl(L"STATIC", StrVersionLabel, SS_LEFT, 60, 44, 80, 20, id::VersionLabel2);
    AddControl(L"STATIC", base::Format(L"%1.1f", static_cast<double>(SoftVersion)), SS_LEFT, 140, 44, 80, 20,
               id::LblVersion);
    AddControl(L"STATIC", StrAuthorLine, SS_LEFT, 60, 72, 300, 20, id::VersionLabel3);
    AddControl(L"STATIC", StrHomePageLine, SS_LEFT, 60, 100, 300, 20, id::VersionLabel4);
    AddControl(L"STATIC", StrPublisherLine, SS_LEFT, 60, 128, 300, 20, id::LblL5);
    AddFlatButton(close_, id::VersionBtnClose, {288, 170, 364, 196}, L"关闭", L"BtnClose");
    AddHint(StrRightClickLatest);
    return true;
  }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        OpenWebPage(HomePageURL);
        return 0;
      default:
        return ModalDialog::OnMessage(msg, wp, lp);
    }
  }

 private:
  // The window's hint, shown as a tooltip over the whole client area.
  void AddHint(const std::wstring& text) {
    hintText_ = text;
    tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                     hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!tooltip_) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd();
    tool.uId = 1;
    ::GetClientRect(hwnd(), &tool.rect);
    tool.lpszText = hintText_.data();
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  std::wstring hintText_;
  base::UniqueWindow tooltip_;
  PictureFrame frame_;
  FlatButton close_;
};

std::unique_ptr<TFrmVersion> gFrmVersion;

}  // namespace

void ShowAboutBox(HWND owner) {
  base::GuardVoid("ShowAboutBox", [&] {
    // Made again when its window went with its owner.
    if (!gFrmVersion || !gFrmVersion->hwnd()) {
      auto box = std::make_unique<TFrmVersion>();
      if (!box->Build(owner)) return;
      gFrmVersion = std::move(box);
    }
    base::ShowFormAnimated(gFrmVersion->hwnd());
  });
}

HWND AboutBoxWindow() { return gFrmVersion ? gFrmVersion->hwnd() : nullptr; }

}  // namespace app
