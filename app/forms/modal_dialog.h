// The base of the small dialogs built in code: a top-level window with child controls that is
// created once, hidden when it closes, and shown modally over its owner with its own message
// loop (Tab, Enter and Esc work as in a dialog: Enter and Esc arrive as IDOK and IDCANCEL).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>

#include "base/flat_button.h"
#include "base/unique.h"
#include "base/window.h"

namespace app {

class ModalDialog : public base::Window {
 public:
  // Shows the dialog over owner (disabled meanwhile) and dispatches messages until EndModal
  // or the close box; returns the result (IDCANCEL for the close box). A WM_QUIT that arrives
  // meanwhile ends the dialog with IDCANCEL and is posted again for the caller's loop.
  int RunModal(HWND owner);
  // Ends a running modal loop with result and hides the dialog.
  void EndModal(int result);
  bool InModal() const { return inModal_; }

  // A child control of the dialog.
  HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }
  std::wstring ItemText(int id) const;

 protected:
  // Creates the top-level window (client size width x height, centred on the work area) with
  // the dialog font (of the character set charset); false when it could not be made.
  bool CreateDialogWindow(const wchar_t* className, const std::wstring& caption, int width, int height,
                          HWND owner, const wchar_t* fontFace = L"Tahoma", int fontHeight = -12,
                          BYTE charset = DEFAULT_CHARSET);
  // Moves the dialog so it is centred on window (kept inside that monitor's work area); false,
  // and nothing moves, when window is missing, hidden or minimised.
  bool CentreOn(HWND window);
  // Adds a child control with the dialog font.
  HWND AddControl(const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
                  DWORD exStyle = 0);
  // Makes button a flat button of the dialog: in its font, on its background, with the glyph
  // of the program's "bmp" resource glyphName (none when null). After SetBackground.
  bool AddFlatButton(base::FlatButton& button, int id, const RECT& bounds, const std::wstring& caption,
                     const wchar_t* glyphName);
  HFONT DialogFont() const { return font_.get(); }
  // The brush the dialog's background is painted with.
  HBRUSH BackgroundBrush() const {
    return background_ ? background_.get() : ::GetSysColorBrush(COLOR_BTNFACE);
  }
  // Takes the close box (and the system menu) off the caption: the dialog ends only through
  // its own buttons (and Esc).
  void DropCloseBox();
  // Paints the dialog and its labels on colour instead of the button face.
  void SetBackground(COLORREF colour);
  // The width of text in the dialog font.
  int TextWidth(const std::wstring& text) const;

  // Horizontal track bars whose changes run OnTrackBarChange, once for each real change of
  // position, whether a drag, a key or SetTrackPosition moved it (a drag notifies several
  // times, its end with the same position again). Call once the bar's range and first
  // position are set.
  void WatchTrackBar(int id);

  // WM_COMMAND from a control; the default ends the dialog on IDOK and IDCANCEL.
  virtual void OnCommand(int id, int code, HWND control);
  // A watched track bar moved to position.
  virtual void OnTrackBarChange(int /*id*/, int /*position*/) {}
  // Called before the dialog is shown by RunModal.
  virtual void OnShowModal() {}

  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  base::UniqueFont font_;
  base::UniqueBrush background_;
  COLORREF backgroundColour_ = 0;
  std::map<int, int> trackSeen_;  // the watched bars' positions their handler last saw
  bool inModal_ = false;
  bool ended_ = false;
  int result_ = IDCANCEL;
};

// The dialog kept in slot, made with Build(owner) when missing or gone with its owner's window
// (the track bar classes are registered first); null when it could not be made.
template <class Dialog>
Dialog* DialogOnFirstUse(std::unique_ptr<Dialog>& slot, HWND owner) {
  if (!slot || !slot->hwnd()) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    auto dialog = std::make_unique<Dialog>();
    if (!dialog->Build(owner)) return nullptr;
    slot = std::move(dialog);
  }
  return slot.get();
}

}  // namespace app
