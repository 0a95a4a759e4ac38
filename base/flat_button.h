// The flat speed button every form uses: a glyph (and optionally a caption) on the form's
// background, a thin raised edge while the mouse is over it and a sunken one while it is
// pressed. It never takes the keyboard focus. Reclume and its setup program both use it.
//
// It is a real child window with a fixed id: a click, or BM_CLICK sent by a test, reaches the
// parent as WM_COMMAND with BN_CLICKED, like a push button's. A disabled button ignores both.
// The hint is shown as a tooltip. Tag is the button's small integer of state (the two-state
// buttons keep 1 = on there).
#pragma once

#include <windows.h>

#include <string>

#include "base/unique.h"
#include "base/window.h"

namespace base {

class FlatButton : public Window {
 public:
  bool Create(HWND parent, int id, const RECT& bounds, const std::wstring& caption = L"",
              bool visible = true);

  // Takes the bitmap; its bottom-left pixel's colour is drawn transparent.
  void SetGlyph(UniqueBitmap glyph);
  // The slot a resource loader fills; call GlyphChanged afterwards.
  UniqueBitmap& glyph() { return glyph_; }
  void GlyphChanged();
  bool HasGlyph() const { return static_cast<bool>(glyph_); }

  void SetCaption(const std::wstring& caption);
  const std::wstring& caption() const { return caption_; }
  void SetHint(const std::wstring& hint);
  const std::wstring& hint() const { return hint_; }

  // The brush the face is filled with (not owned; it must outlive the button); null, the
  // default, is the forms' shared background.
  void SetFaceBrush(HBRUSH brush);

  int tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // Runs the click: WM_COMMAND(id, BN_CLICKED) to the parent, unless disabled.
  void Click();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  void SetHot(bool hot);

  UniqueBitmap glyph_;
  std::wstring caption_;
  std::wstring hint_;
  UniqueWindow tooltip_;
  HFONT font_ = nullptr;  // not owned: the form's font
  HBRUSH face_ = nullptr;  // not owned
  int tag_ = 0;
  bool hot_ = false;
  bool pressed_ = false;
  bool tracking_ = false;
};

}  // namespace base
