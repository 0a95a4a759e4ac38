// A picture on a form: a child window that draws its bitmap at its top-left corner over the
// form's background, or stretched over the whole box; without a bitmap it is a plain patch of
// background.
#pragma once

#include <windows.h>

#include "base/unique.h"
#include "base/window.h"

namespace app {

class PictureBox : public base::Window {
 public:
  bool Create(HWND parent, int id, const RECT& bounds, bool visible = true);
  // The slot a resource loader fills; call PictureChanged afterwards.
  base::UniqueBitmap& picture() { return picture_; }
  void PictureChanged();
  bool HasPicture() const { return picture_ || borrowed_; }
  // A bitmap the box draws in place of its own until ShowBorrowed(nullptr): its owner keeps
  // it alive meanwhile, changes it only on the main thread (where the box paints) and calls
  // PictureChanged after each change.
  void ShowBorrowed(HBITMAP bitmap);
  HBITMAP Borrowed() const { return borrowed_; }
  // The bitmap drawn: the borrowed one, else the box's own (null for none).
  HBITMAP Shown() const { return borrowed_ ? borrowed_ : picture_.get(); }
  // Stretched: the bitmap fills the whole box (a frame edge drawn from a short piece).
  void SetStretch(bool stretch);
  bool Stretch() const { return stretch_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  base::UniqueBitmap picture_;
  HBITMAP borrowed_ = nullptr;
  bool stretch_ = false;
};

}  // namespace app
