// TFrmUpdate, the update dialog: loads the update page into a browser kept out of sight,
// checks it by its marker line, reads the newest version and the package's address, and when
// the version is newer downloads the package (verified, like the self-update's setup) with a
// progress bar; its restart button starts the package hidden with the program's path and ends
// Reclume. StartOnlineUpdate opens it; no control of the program does, as before.
//
// Main thread: the window, its browser and its timers. The download runs on a thread of its
// own, which hands its progress and its outcome to the main thread (base::PostToMain); a
// closed dialog only hides, and a destroyed one cancels the download and ignores what is still
// on its way.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/forms/layout.h"
#include "base/flat_button.h"
#include "base/unique.h"
#include "base/window.h"
#include "online/browser_view.h"
#include "online/verified_download.h"

namespace online {

inline constexpr const wchar_t* kUpdateDialogTitle = L"QIV软件在线升级";
inline constexpr int kUpdateDialogWidth = 650, kUpdateDialogHeight = 155;

class TFrmUpdate : public base::Window {
 public:
  struct Seams {
    BrowserFactory makeBrowser;  // the system's browser control unless a test gives another
    // Fetches the package (verified with the program's key unless a test gives another).
    std::function<DownloadResult(const std::wstring& url, const std::wstring& file, const DownloadProgress& progress)>
        download;
    // Ends the program once the package has started (closes the main form unless a test gives
    // another).
    std::function<void()> endApplication;
  };

  // owner: the main form. programPath: the program's full path (its folder gets "update.exe").
  TFrmUpdate(HWND owner, std::wstring programPath, Seams seams);
  ~TFrmUpdate() override;

  // Creates the window hidden and runs FormCreate.
  bool Create();

  // The handlers.
  void FormCreate();
  void OpenUpdatePage();
  void WebBrowser1NavigateComplete2();
  void WebBrowser1NavigateError();
  void Timer1Timer();
  bool CheckUpdatePage(int width, int height);
  void DecideUpdate();
  void StartUpdateDownload();
  void DownloadProgress(uint64_t done, uint64_t total);
  void DownloadEnded(DownloadResult result);
  void SpeedButton3Click();
  bool RunUpdater();

  // What the dialog shows, for the program and its tests.
  int MsgX = 0, MsgY = 0;
  std::wstring UpdateFileName;
  HWND LblHint() const { return lblHint_; }
  HWND ProgressBar1() const { return progressBar1_; }
  HWND PnlMain() const { return pnlMain_.hwnd(); }
  HWND Image1() const { return image1_; }
  HWND WebBrowser1Frame() const { return browserFrame_; }
  base::FlatButton& SpeedButton3() { return speedButton3_; }
  BrowserView* WebBrowser1() const { return webBrowser1_.get(); }
  bool Timer1Enabled() const { return timer1On_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  class Events;
  void SetHint(const std::wstring& text);
  void ShowMessageAndClose(const std::wstring& text);
  void StartDownloadThread();

  HWND owner_;
  std::wstring programPath_;
  Seams seams_;
  app::DockLayout layout_;
  app::Panel panel2_, pnlMain_;
  HWND progressBar1_ = nullptr, lblHint_ = nullptr, image1_ = nullptr, browserFrame_ = nullptr;
  base::FlatButton speedButton3_;
  base::UniqueFont font_, hintFont_;
  base::UniqueBitmap picture_;
  std::unique_ptr<Events> events_;
  std::unique_ptr<BrowserView> webBrowser1_;
  bool timer1On_ = false;
  bool downloading_ = false;
  // Shared with the download thread: set when the dialog goes, so the thread stops.
  std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
  // Main-thread closures from the download thread find the dialog through this token.
  std::shared_ptr<TFrmUpdate*> self_ = std::make_shared<TFrmUpdate*>(this);
};

// The single dialog, made by StartOnlineUpdate on first use and kept until the program ends.
extern std::unique_ptr<TFrmUpdate> FrmUpdate;

// Makes FrmUpdate with mainForm as its owner when there is none, shows it and opens the update
// page. Main thread.
void StartOnlineUpdate(HWND mainForm);

// The texts of the dialog that are ours: a download that failed, a package that did not start.
inline constexpr const wchar_t* kUpdateFailedText = L"更新失败，请稍后再试";
inline constexpr const wchar_t* kUpdaterNotStartedText = L"无法启动更新程序";

}  // namespace online
