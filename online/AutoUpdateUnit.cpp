// The update dialog (see AutoUpdateUnit.h).
//
// Each completed navigation, frames included, arms Timer1; arming it while it runs does not
// restart it, so the check comes 250 ms after the first completion. A failed navigation arms it
// too: on Windows the error page's completion follows anyway, and under Wine no completion
// ever comes, so the dialog says "已经是最新版本" instead of waiting for ever.
#include "online/AutoUpdateUnit.h"

#include <commctrl.h>

#include <thread>

#include "app/texts/allparam.h"
#include "app/forms/control_ids.h"
#include "base/barrier.h"
#include "base/dispatch.h"
#include "base/files.h"
#include "base/form_style.h"
#include "base/message_at.h"
#include "base/resources.h"
#include "base/shell_opener.h"
#include "online/QIVUpdateUnit.h"
#include "online/content.h"
#include "online/self_update.h"
#include "online/web_browser.h"

namespace online {

std::unique_ptr<TFrmUpdate> FrmUpdate;

namespace {

namespace id = app::id;

constexpr UINT kTimer1Ms = 250;
constexpr UINT kStartDownloadMs = 1000;
constexpr int kPanel2Height = 25;
constexpr int kBrowserLeft = 16, kBrowserWidth = 588, kBrowserHeight = 64, kOutOfSight = -2000;

HFONT MakeFont(int height) {
  return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

HWND MakeChild(HWND parent, int controlId, const wchar_t* cls, const wchar_t* text, DWORD style, const RECT& r) {
  return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_CLIPSIBLINGS | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

// The browser's events, passed to the dialog's handlers.
class TFrmUpdate::Events : public BrowserEvents {
 public:
  explicit Events(TFrmUpdate& owner) : owner_(owner) {}
  void BeforeNavigate2(const std::wstring&) override {}
  void NavigateComplete2(const std::wstring&) override { owner_.WebBrowser1NavigateComplete2(); }
  void DocumentComplete(const std::wstring&) override {}
  void NewWindow2(NewWindowRequest& request) override { request.cancel = true; }
  void TitleChange(const std::wstring&) override {}
  void NavigateError(const std::wstring&, long) override { owner_.WebBrowser1NavigateError(); }

 private:
  TFrmUpdate& owner_;
};

TFrmUpdate::TFrmUpdate(HWND owner, std::wstring programPath, Seams seams)
    : owner_(owner), programPath_(std::move(programPath)), seams_(std::move(seams)) {}

TFrmUpdate::~TFrmUpdate() {
  cancel_->store(true);
  *self_ = nullptr;
  if (webBrowser1_) webBrowser1_->Close();
  webBrowser1_.reset();
  Destroy();
}

bool TFrmUpdate::Create() {
  base::WindowClass cls;
  cls.name = L"TFrmUpdate";
  cls.background = base::FormBrush();
  cls.icon = base::ProgramIcon();
  base::WindowSpec spec;
  spec.title = kUpdateDialogTitle;
  spec.style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  spec.width = kUpdateDialogWidth;
  spec.height = kUpdateDialogHeight;
  spec.x = (::GetSystemMetrics(SM_CXSCREEN) - spec.width) / 2;
  spec.y = (::GetSystemMetrics(SM_CYSCREEN) - spec.height) / 2;
  spec.parent = owner_;
  if (!base::Window::Create(cls, spec)) return false;
  font_.reset(MakeFont(-15));
  hintFont_.reset(MakeFont(-13));
  ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

  // Panel2 at the bottom: the progress bar, the hint and the restart button.
  panel2_.Create(hwnd(), id::UpdatePanel2);
  ::SendMessageW(panel2_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  layout_.Add(panel2_.hwnd(), app::Dock::Bottom, kPanel2Height);
  progressBar1_ = MakeChild(panel2_.hwnd(), id::UpdateProgressBar1, PROGRESS_CLASSW, nullptr, WS_VISIBLE,
                            {0, 0, 137, kPanel2Height});
  panel2_.layout().Add(progressBar1_, app::Dock::Left, 137);
  lblHint_ = MakeChild(panel2_.hwnd(), id::UpdateLblHint, L"STATIC", L"正在更新软件，请稍候...",
                       WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, {137, 0, 529, kPanel2Height});
  panel2_.layout().Add(lblHint_, app::Dock::Left, 392);
  ::SendMessageW(lblHint_, WM_SETFONT, reinterpret_cast<WPARAM>(hintFont_.get()), FALSE);
  speedButton3_.Create(panel2_.hwnd(), id::UpdateSpeedButton3, {532, 0, 532 + 72, 24}, L"", false);
  base::LoadGraphicFromRes(speedButton3_.glyph(), L"BtnReplayRec", L"bmp");
  speedButton3_.GlyphChanged();

  // PnlMain fills the rest: the picture, and the browser out of sight.
  pnlMain_.Create(hwnd(), id::UpdatePnlMain);
  layout_.Add(pnlMain_.hwnd(), app::Dock::Client);
  layout_.Apply(hwnd());
  RECT main{};
  ::GetClientRect(pnlMain_.hwnd(), &main);
  // Without its picture the image is a plain static on the form's colour (a bitmap static with
  // no bitmap paints nothing at all).
  const bool picture = base::LoadJpegFromRes(picture_, L"Ombrix", L"jpg");
  image1_ = MakeChild(pnlMain_.hwnd(), id::UpdateImage1, L"STATIC", nullptr,
                      WS_VISIBLE | (picture ? SS_BITMAP | SS_REALSIZECONTROL : 0), main);
  pnlMain_.layout().Add(image1_, app::Dock::Client);
  if (picture) ::SendMessageW(image1_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
  browserFrame_ = MakeChild(pnlMain_.hwnd(), id::UpdateWebBrowser1, L"STATIC", nullptr, WS_VISIBLE | WS_CLIPCHILDREN,
                            {kBrowserLeft, 0, kBrowserLeft + kBrowserWidth, kBrowserHeight});
  events_ = std::make_unique<Events>(*this);
  if (seams_.makeBrowser) webBrowser1_ = seams_.makeBrowser(browserFrame_, *events_);
  FormCreate();
  return true;
}

void TFrmUpdate::FormCreate() {
  RECT r{};
  ::GetWindowRect(hwnd(), &r);
  MsgX = r.left + 80;
  MsgY = r.top + 30;
  ::SetWindowPos(browserFrame_, nullptr, kBrowserLeft, kOutOfSight, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateFileName = base::FolderOf(programPath_) + L"update.exe";
}

void TFrmUpdate::OpenUpdatePage() {
  if (app::OmbrixCOMUpdate.empty())
    base::ShowMessageAt({MsgX, MsgY}, hwnd(), L"OmbrixCOMUpdate is null", app::ProductName, MB_OK);
  if (webBrowser1_) webBrowser1_->Navigate(app::ServerBaseUrl() + app::OmbrixCOMUpdate);
}

void TFrmUpdate::WebBrowser1NavigateComplete2() {
  if (timer1On_) return;  // already armed: the check still comes 250 ms after the first
  timer1On_ = ::SetTimer(hwnd(), id::UpdateTimer1, kTimer1Ms, nullptr) != 0;
}

void TFrmUpdate::WebBrowser1NavigateError() { WebBrowser1NavigateComplete2(); }

void TFrmUpdate::Timer1Timer() {
  ::KillTimer(hwnd(), id::UpdateTimer1);
  timer1On_ = false;
  RECT main{};
  ::GetClientRect(pnlMain_.hwnd(), &main);
  if (!CheckUpdatePage(main.right, main.bottom)) {
    ShowMessageAndClose(L"已经是最新版本");
    return;
  }
  DecideUpdate();
}

bool TFrmUpdate::CheckUpdatePage(int width, int height) {
  const bool genuine = base::Guard("TFrmUpdate.CheckUpdatePage", [&] {
    return webBrowser1_ && LowerBodyOf(*webBrowser1_).find(kUpdatePageMarker) != std::wstring::npos;
  }, false);
  if (genuine) {
    // The page covers the panel; the picture goes.
    ::SetWindowPos(browserFrame_, HWND_TOP, -2, -2, width + 4, height + 4, SWP_NOACTIVATE);
    if (webBrowser1_) webBrowser1_->SetBounds({0, 0, width + 4, height + 4});
    ::ShowWindow(image1_, SW_HIDE);
  } else {
    ::SetWindowPos(browserFrame_, nullptr, kOutOfSight, kOutOfSight, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(image1_, SW_SHOWNA);
    ::ShowWindow(pnlMain_.hwnd(), SW_SHOWNA);
  }
  return genuine;
}

void TFrmUpdate::DecideUpdate() {
  const bool newer = base::Guard("TFrmUpdate.DecideUpdate", [&] {
    return webBrowser1_ && IsNewVersionAvailable(*webBrowser1_, app::SoftVersion);
  }, false);
  if (!newer) {
    ShowMessageAndClose(L"已经是最新版本");
    return;
  }
  StartUpdateDownload();
}

void TFrmUpdate::StartUpdateDownload() {
  if (downloading_) return;
  SetHint(L"软件正在更新中，请稍候...");
  // The second's pause before the download, without holding the main thread.
  ::SetTimer(hwnd(), id::UpdateTimerStartDownload, kStartDownloadMs, nullptr);
}

void TFrmUpdate::StartDownloadThread() {
  downloading_ = true;
  ::ShowWindow(speedButton3_.hwnd(), SW_HIDE);
  const std::wstring url = UpdateDownloadUrl, file = UpdateFileName;
  auto download = seams_.download;
  auto cancel = cancel_;
  std::weak_ptr<TFrmUpdate*> self = self_;
  // Runs a closure on the main thread while the dialog still exists.
  auto toDialog = [self](std::function<void(TFrmUpdate&)> fn) {
    base::PostToMain([self, fn = std::move(fn)] {
      if (auto owner = self.lock())
        if (*owner) fn(**owner);
    });
  };
  try {
    std::thread([url, file, download, cancel, toDialog] {
      const DownloadResult result = base::Guard("UpdateDownloadThread", [&] {
        if (!download) return DownloadResult::Cancelled;
        return download(url, file, [&](uint64_t done, uint64_t total) {
          toDialog([done, total](TFrmUpdate& dialog) { dialog.DownloadProgress(done, total); });
          return !cancel->load();
        });
      }, DownloadResult::WriteFailed);
      toDialog([result](TFrmUpdate& dialog) { dialog.DownloadEnded(result); });
    }).detach();
  } catch (...) {
    DownloadEnded(DownloadResult::WriteFailed);  // no thread to spare
  }
}

void TFrmUpdate::DownloadProgress(uint64_t done, uint64_t total) {
  // The bar counts in KiB: its range is 32-bit.
  const auto kib = [](uint64_t bytes) { return static_cast<LPARAM>((bytes + 1023) / 1024); };
  ::SendMessageW(progressBar1_, PBM_SETRANGE32, 0, kib(total ? total : done));
  ::SendMessageW(progressBar1_, PBM_SETPOS, static_cast<WPARAM>(kib(done)), 0);
}

void TFrmUpdate::DownloadEnded(DownloadResult result) {
  downloading_ = false;
  if (result != DownloadResult::Ok) {
    SetHint(kUpdateFailedText);
    return;
  }
  SetHint(L"更新完成，关闭后将自动重启软件");
  ::ShowWindow(speedButton3_.hwnd(), SW_SHOWNA);
}

void TFrmUpdate::SpeedButton3Click() {
  if (!RunUpdater()) {
    SetHint(kUpdaterNotStartedText);
    return;
  }
  if (seams_.endApplication) seams_.endApplication();
}

bool TFrmUpdate::RunUpdater() {
  HWND owner = owner_ ? owner_ : hwnd();
  return base::ShellOpen(owner, L"open", UpdateFileName, SW_HIDE, L"\"" + programPath_ + L"\"");
}

void TFrmUpdate::SetHint(const std::wstring& text) { ::SetWindowTextW(lblHint_, text.c_str()); }

void TFrmUpdate::ShowMessageAndClose(const std::wstring& text) {
  base::ShowMessageAt({MsgX, MsgY}, hwnd(), text, app::ProductName, MB_OK);
  ::ShowWindow(hwnd(), SW_HIDE);
}

LRESULT TFrmUpdate::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      layout_.Apply(hwnd());
      return 0;
    case WM_TIMER:
      if (wp == id::UpdateTimer1) Timer1Timer();
      if (wp == id::UpdateTimerStartDownload) {
        ::KillTimer(hwnd(), id::UpdateTimerStartDownload);
        StartDownloadThread();
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == id::UpdateSpeedButton3 && HIWORD(wp) == BN_CLICKED) SpeedButton3Click();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkColor(dc, base::kFormColor);
      if (reinterpret_cast<HWND>(lp) == lblHint_) ::SetTextColor(dc, RGB(0xFF, 0, 0));
      return reinterpret_cast<LRESULT>(base::FormBrush());
    }
    case WM_CLOSE:
      // Closing only hides: the dialog is used again next time.
      ::ShowWindow(hwnd(), SW_HIDE);
      return 0;
    case WM_DESTROY:
      // Destroyed with its owner, the main form, while OLE still runs: the browser goes now,
      // and a download still running stops.
      cancel_->store(true);
      ::KillTimer(hwnd(), id::UpdateTimer1);
      ::KillTimer(hwnd(), id::UpdateTimerStartDownload);
      timer1On_ = false;
      if (webBrowser1_) webBrowser1_->Close();
      webBrowser1_.reset();
      return 0;
  }
  return Default(msg, wp, lp);
}

void StartOnlineUpdate(HWND mainForm) {
  base::GuardVoid("StartOnlineUpdate", [&] {
    if (!FrmUpdate) {
      wchar_t self[MAX_PATH * 2] = {};
      const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
      TFrmUpdate::Seams seams;
      seams.makeBrowser = &CreateWebBrowser;
      seams.download = &DownloadSetup;
      seams.endApplication = [mainForm] { ::PostMessageW(::GetAncestor(mainForm, GA_ROOT), WM_CLOSE, 0, 0); };
      auto dialog = std::make_unique<TFrmUpdate>(mainForm, std::wstring(self, n), std::move(seams));
      if (!dialog->Create()) return;
      FrmUpdate = std::move(dialog);
    }
    ::ShowWindow(FrmUpdate->hwnd(), SW_SHOW);
    FrmUpdate->OpenUpdatePage();
  });
}

}  // namespace online
