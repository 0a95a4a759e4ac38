// TForm1, the setup program's window: the agreement, the install folder, the run-now and
// desktop-link boxes and the install button that runs the install sequence.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "base/flat_button.h"
#include "base/unique.h"
#include "base/window.h"

namespace setup {

inline constexpr int kSetupClientWidth = 717;
inline constexpr int kSetupClientHeight = 516;

class TForm1 : public base::Window {
 public:
  // payload: the program file to install (the carried one in production).
  TForm1(std::span<const uint8_t> payload, bool quitOnDestroy) : payload_(payload), quitOnDestroy_(quitOnDestroy) {}

  // Creates the window hidden and off screen, with every control and the default folder.
  bool Create();
  // The install sequence; true when everything was written (the window is then destroyed).
  bool BtnNextClick();
  bool Installing() const { return installing_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }
  bool Checked(int id) const;
  // Adds amount to the gauge (never past 100); a step of the sequence (20) then serves the
  // window's pending messages.
  void GaugeStep(int amount = 20, bool pump = true);
  void SetHint(const wchar_t* text);
  void LockControls(bool locked);
  void Fail();
  void BtnSelectDirClick();
  void TimerFirstRunTimer();
  void Timer1Timer();
  void OpenHomePage();
  void Paint();

  std::span<const uint8_t> payload_;
  bool quitOnDestroy_;
  bool installing_ = false;
  base::FlatButton btnNext_, btnClose_, btnSelectDir_;
  base::UniqueFont font_, bannerFont_, linkFont_;
};

// The program block: the update mode for a usable folder argument, the window otherwise.
// Returns the exit code.
int RunSetup(const wchar_t* commandLine);

}  // namespace setup
