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
  bool HasPicture() const { return static_cast<bool>(picture_); }
  // Stretched: the bitmap fills the whole box (a frame edge drawn from a short piece).
  void SetStretch(bool stretch);
  bool Stretch() const { return stretch_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  base::UniqueBitmap picture_;
  bool stretch_ = false;
};

}  // namespace app
