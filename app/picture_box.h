// A picture on a form: a child window that draws its bitmap at its top-left corner (not
// stretched) over the form's background; without a bitmap it is a plain patch of background.
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

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  base::UniqueBitmap picture_;
};

}  // namespace app
