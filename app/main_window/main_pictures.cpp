// The main window's picture panel: splitting a recording into pictures (the split itself is
// app/split/avi_split.cpp; the window hands it the preview, the list and the status line), the
// picture list with its buttons and menu, and the preview of one entry.
//
// A list entry holds the path of its picture, not the picture: the preview loads the clicked
// one. Hundreds of full-screen pictures held as bitmaps would exhaust a 32-bit process.
// Every handler is guarded: a failure ends it silently where it was.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/split/avi_split.h"
#include "app/forms/control_ids.h"
#include "app/texts/kv.h"
#include "app/main_window/main_form.h"
#include "app/main_window/open_guard.h"
#include "base/shell_opener.h"
#include "base/barrier.h"
#include "base/files.h"
#include "base/resources.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

namespace {

constexpr int kToolBarHeight = 30;
constexpr int kPicListWidth = 185;
constexpr int kLabelHeight = 18;
// Pictures larger than this are not read for the preview.
constexpr LONGLONG kMaxPictureFileBytes = 256LL * 1024 * 1024;

// Our own text: the create command writes no video.
constexpr const wchar_t* kCreateVideoUnavailable = L"图片合成视频的功能尚未提供，没有生成视频文件。";
// Our own text: the entry's picture file is gone.
constexpr const wchar_t* kPictureMissingFmt = L"图片文件不存在：%s";

using base::FileNameOf;
using base::FolderOf;

// A whole .bmp file as a DIB section; null when it is missing, too large or no bitmap.
base::UniqueBitmap LoadBitmapFile(const std::wstring& path) {
  base::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxPictureFileBytes) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
    return {};
  return base::DecodeBmp(bytes);
}

}  // namespace

// What a split shows in the window. The preview draws the split's own picture of each frame
// while the split runs (no copy of a full-screen frame per frame) and keeps the last one as
// its own when the split hands it over, unless another picture was chosen meanwhile.
class PictureSplitView : public SplitView {
 public:
  explicit PictureSplitView(TFrmMain& form) : form_(form) {}

  void SetStatus(const std::wstring& text) override { form_.SetStatus(text); }

  void ShowFrame(HBITMAP frame) override { form_.ShowSplitFrame(frame); }

  void KeepFrame(base::UniqueBitmap frame) override {
    auto it = form_.pictures_.find(id::BitmapImage);
    if (it != form_.pictures_.end() && it->second->Borrowed() == frame.get()) form_.SetPreview(std::move(frame));
  }

  void AddPicture(const std::wstring& name, const std::wstring& path) override {
    HWND list = form_.Control(id::BitmapListBox);
    const LRESULT at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (at < 0) return;
    const LPARAM key = form_.nextPictureKey_++;
    form_.picturePaths_[key] = path;
    ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), key);
    ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
  }

  void Message(const std::wstring& text) override {
    base::ShowMessage(form_.hwnd(), text, kApplicationTitle, MB_OK);
  }

 private:
  TFrmMain& form_;
};

// --- building the panel ---

void TFrmMain::BuildPicturePanel(HWND panel) {
  Panel& pic = *panels_.at(id::PnlPic);
  Panel& toolBar = AddPanel(panel, id::ToolBar1);
  pic.layout().Add(toolBar.hwnd(), Dock::Top, kToolBarHeight);
  Panel& buttons = AddPanel(toolBar.hwnd(), id::Panel1);
  toolBar.layout().Add(buttons.hwnd(), Dock::Client);
  struct ButtonSpec {
    int id;
    const std::wstring& caption;
    const wchar_t* hint;
    bool visible;
  };
  // The captions come from the text tables once they are loaded (ApplyPicturePanelTexts).
  const std::wstring none;
  const std::wstring close = L"×";
  const ButtonSpec specs[] = {{id::BtnLoadPics, none, L"加入多个图片", true},
                              {id::SpeedButton13, none, L"删除多个图片", true},
                              {id::BtnCreateAVI, none, L"保存为.AVI文件并预览", true},
                              {id::BtnClosePICPan, close, L"", true},
                              {id::SpeedButton14, none, L"图片上移", false},
                              {id::BtnPicMoveDown, none, L"图片下移", false},
                              {id::BtnPicSort, none, L"Sort", false}};
  int x = 2;
  for (const auto& b : specs) {
    const int width = b.id == id::BtnClosePICPan ? 26 : 90;
    AddButton(buttons.hwnd(), b.id, {x, 2, x + width, kToolBarHeight - 2}, b.caption, b.visible).SetHint(b.hint);
    if (b.visible) x += width + 4;
  }
  // The frame rate field: nothing reads it.
  AddChild(buttons.hwnd(), id::spinRate, L"EDIT", ES_NUMBER, WS_EX_CLIENTEDGE, {x, 4, x + 40, kToolBarHeight - 4},
           L"10");
  SetHint(id::spinRate, L"每秒包含的帧数");

  Panel& group = AddPanel(panel, id::GBPicList, true, L"TGroupBox");
  ::SetWindowTextW(group.hwnd(), L"图片路径");
  pic.layout().Add(group.hwnd(), Dock::Left, kPicListWidth);
  // The group's caption above the list.
  HWND caption = ::CreateWindowExW(0, L"STATIC", L"图片路径", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                                   kPicListWidth, kLabelHeight, group.hwnd(), nullptr, ::GetModuleHandleW(nullptr),
                                   nullptr);
  group.layout().Add(caption, Dock::Top, kLabelHeight);
  HWND list = AddChild(group.hwnd(), id::BitmapListBox, L"LISTBOX",
                       WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL,
                       WS_EX_CLIENTEDGE, {0, 0, kPicListWidth, 100});
  group.layout().Add(list, Dock::Client);
  // Beside the up and down buttons, the entries can be dragged into their order.
  ::MakeDragList(list);

  Panel& box = AddPanel(panel, id::ScrollBox2, true, L"TScrollBox");
  pic.layout().Add(box.hwnd(), Dock::Client);
  HWND label = AddChild(box.hwnd(), id::LblCurPicName, L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
                        {0, 0, 400, kLabelHeight}, L"   当前图片");
  box.layout().Add(label, Dock::Top, kLabelHeight);
  AddPicture(box.hwnd(), id::BitmapImage, {0, kLabelHeight, 0, kLabelHeight});
}

void TFrmMain::ApplyPicturePanelTexts() {
  const std::pair<int, const std::wstring*> captions[] = {
      {id::BtnLoadPics, &StrAddPicturesMenu}, {id::SpeedButton13, &StrRemovePictures}, {id::BtnCreateAVI, &StrCreateAVI}};
  for (const auto& [button, text] : captions)
    if (FlatButton* b = Button(button)) b->SetCaption(*text);
}

bool TFrmMain::OnPicturesCommand(int commandId, int code) {
  if (commandId == id::BitmapListBox) {
    if (code == LBN_SELCHANGE) BitmapListBoxClick();
    if (code == LBN_DBLCLK) MnOpenPicPathClick();
    return true;
  }
  if (code != BN_CLICKED && code != 0) return false;
  // A hidden button and the menu item that share an action go to the same handler.
  struct Route {
    int id;
    void (TFrmMain::*handler)();
  };
  static constexpr Route kRoutes[] = {
      {id::MnAVIToPIC, &TFrmMain::BtnAVIToPICClick},      {id::BtnAVIToPIC, &TFrmMain::BtnAVIToPICClick},
      {id::MnCreateAVI, &TFrmMain::BtnCreateAVIClick},    {id::BtnPicToAVI, &TFrmMain::BtnCreateAVIClick},
      {id::BtnCreateAVI, &TFrmMain::BtnCreateAVIClick},   {id::BtnLoadPics, &TFrmMain::BtnLoadPicsClick},
      {id::SpeedButton13, &TFrmMain::SpeedButton13Click}, {id::SpeedButton14, &TFrmMain::SpeedButton14Click},
      {id::BtnPicMoveDown, &TFrmMain::BtnPicMoveDownClick}, {id::BtnPicSort, &TFrmMain::BtnPicSortClick},
      {id::MnOpenPicPath, &TFrmMain::MnOpenPicPathClick}, {id::BtnClosePICPan, &TFrmMain::BtnClosePICPanClick}};
  for (const Route& route : kRoutes)
    if (route.id == commandId) {
      (this->*route.handler)();
      return true;
    }
  return false;
}

void TFrmMain::ShowPicturePanel() {
  if (FlatButton* close = Button(id::BtnClosePICPan)) close->SetTag(2);
  SetControlVisible(id::PnlPic, true);
}

void TFrmMain::SetPreview(base::UniqueBitmap picture) {
  auto it = pictures_.find(id::BitmapImage);
  if (it == pictures_.end()) return;
  PictureBox& image = *it->second;
  image.ShowBorrowed(nullptr);
  image.picture() = std::move(picture);
  PlacePreview(image);
}

void TFrmMain::ShowSplitFrame(HBITMAP frame) {
  auto it = pictures_.find(id::BitmapImage);
  if (it == pictures_.end()) return;
  PictureBox& image = *it->second;
  // The same picture again holds the next frame: only its pixels changed.
  if (image.Borrowed() == frame) {
    image.PictureChanged();
    return;
  }
  BITMAP before{}, now{};
  if (HBITMAP shown = image.Shown()) ::GetObjectW(shown, sizeof before, &before);
  ::GetObjectW(frame, sizeof now, &now);
  image.ShowBorrowed(frame);
  // The box's own picture is not drawn again: the split hands its last frame over in its place.
  image.picture().reset();
  // Saving alternates two pictures of one size: the box stays where it is.
  if (before.bmWidth != now.bmWidth || before.bmHeight != now.bmHeight) PlacePreview(image);
}

void TFrmMain::PlacePreview(PictureBox& image) {
  // Centred in the box below the label; the box clips a picture larger than itself.
  BITMAP size{};
  if (HBITMAP shown = image.Shown()) ::GetObjectW(shown, sizeof size, &size);
  RECT box{};
  ::GetClientRect(Control(id::ScrollBox2), &box);
  const int x = std::max(0, static_cast<int>((box.right - size.bmWidth) / 2));
  const int y = kLabelHeight + std::max(0, static_cast<int>((box.bottom - kLabelHeight - size.bmHeight) / 2));
  ::SetWindowPos(image.hwnd(), nullptr, x, y, size.bmWidth, size.bmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  image.PictureChanged();
}

// --- splitting ---

void TFrmMain::BtnAVIToPICClick() {
  if (splitting_) return;  // one split at a time
  base::GuardVoid("TFrmMain.BtnAVIToPICClick", [&] {
    ShowPicturePanel();
    const std::wstring folder = CheckedRecordFolder();
    if (folder.empty()) return;
    const std::wstring file = ChooseRecordingFile(folder);
    if (file.empty()) return;
    picFolder_ = FolderOf(file);
    base::NormalizeDirPath(picFolder_);
    SetControlText(id::EdtRECPath, picFolder_);
    SetStatus(picFolder_ + L"img");
    AviToPictures(file, true);
  });
}

void TFrmMain::AviToPictures(const std::wstring& fileName, bool save) {
  if (splitting_) return;
  splitting_ = true;
  base::GuardVoid("TFrmMain.AviToPictures", [&] {
    picFolder_ = FolderOf(fileName);
    base::NormalizeDirPath(picFolder_);
    PictureSplitView view(*this);
    SplitRequest request;
    request.fileName = fileName;
    request.save = save;
    request.cancel = &splitCancel_;
    request.writer = pictureWriter_;
    app::AviToPictures(request, view);
  });
  splitting_ = false;
  // A close that came during the split ended it; the window goes now that its loop has returned.
  if (closeAfterSplit_ && hwnd()) ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

// --- the list ---

std::vector<std::wstring> TFrmMain::PictureEntries() const {
  std::vector<std::wstring> entries;
  HWND list = Control(id::BitmapListBox);
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
    entries.push_back(text);
  }
  return entries;
}

std::wstring TFrmMain::PicturePathAt(int index) const {
  const LRESULT key = ::SendMessageW(Control(id::BitmapListBox), LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  auto it = picturePaths_.find(static_cast<LPARAM>(key));
  return it == picturePaths_.end() ? std::wstring() : it->second;
}

void TFrmMain::BtnLoadPicsClick() {
  base::GuardVoid("TFrmMain.BtnLoadPicsClick", [&] {
    std::wstring dir = FolderOf(ControlText(id::EdtRECPath)) + L"img";
    if (!base::FolderExists(dir)) base::CreateFolderTree(dir);
    std::vector<wchar_t> buffer(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = L"Bitmaps\0*.bmp\0Icons\0*.ico\0";
    ofn.lpstrDefExt = L"bmp";
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = dir.c_str();
    ofn.lpfnHook = &LongPathOpenHook;
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                OFN_ENABLEHOOK | OFN_ENABLESIZING;
    std::wstring folder;
    if (::GetOpenFileNameW(&ofn)) {
      // One file: its whole path. Several: the folder, then each name, each ended by a null.
      std::vector<std::wstring> parts;
      for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) parts.emplace_back(p);
      std::vector<std::wstring> files;
      if (parts.size() == 1) {
        files = parts;
        folder = FolderOf(parts[0]);
      } else if (parts.size() > 1) {
        folder = parts[0];
        base::NormalizeDirPath(folder);
        for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
      }
      AddPictureFiles(files);
    }
    SetStatus(base::Format(L"%s ：%s", StrLocation, folder));
  });
}

int TFrmMain::AddPictureFiles(const std::vector<std::wstring>& files) {
  int added = 0;
  base::GuardVoid("TFrmMain.AddPictureFiles", [&] {
    PictureSplitView view(*this);
    for (const auto& path : files) {
      // A file that is no bitmap (an icon, for instance) ends the adding.
      if (!LoadBitmapFile(path)) return;
      view.AddPicture(FileNameOf(path), path);
      ++added;
    }
  });
  return added;
}

void TFrmMain::SpeedButton13Click() {
  base::GuardVoid("TFrmMain.SpeedButton13Click", [&] {
    HWND list = Control(id::BitmapListBox);
    // From the last entry to the first; the files on disk stay.
    for (LRESULT i = ::SendMessageW(list, LB_GETCOUNT, 0, 0) - 1; i >= 0; --i) {
      if (::SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) <= 0) continue;
      picturePaths_.erase(static_cast<LPARAM>(::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
      ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
    }
  });
}

namespace {

// Moves entry `from` of list to place `to` (its text and key go with it) and selects it
// there; nothing when either is outside the list.
void MoveEntry(HWND list, LRESULT from, LRESULT to) {
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (from < 0 || to < 0 || from >= count || to >= count) return;
  const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(from), 0);
  std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(text.data()));
  const LRESULT key = ::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(from), 0);
  ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(from), 0);
  ::SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(text.c_str()));
  ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(to), key);
  ::SendMessageW(list, LB_SETSEL, FALSE, -1);
  ::SendMessageW(list, LB_SETSEL, TRUE, to);
  ::SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(to), FALSE);
}

// Moves the current entry of list by step places; nothing at the list's ends.
void MoveCurrentEntry(HWND list, int step) {
  const LRESULT at = ::SendMessageW(list, LB_GETCARETINDEX, 0, 0);
  if (at >= 0) MoveEntry(list, at, at + step);
}


// Where a drag over the list would put the dragged entry: the entry under the cursor (whose
// place it takes), the last place when the cursor is inside the list below its last entry, or
// -1 outside the list.
constexpr int kInsertMarkHalf = 1;  // the mark is two pixels high

int DropTarget(HWND list, POINT screen) {
  const int over = ::LBItemFromPt(list, screen, TRUE);
  if (over >= 0) return over;
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  POINT local = screen;
  ::ScreenToClient(list, &local);
  RECT client{}, last{};
  ::GetClientRect(list, &client);
  if (count <= 0 || !::PtInRect(&client, local)) return -1;
  ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
  return local.y >= last.bottom ? static_cast<int>(count - 1) : -1;
}

}  // namespace

// The insert mark: a line across the list where the dragged entry would land, after the target
// entry when it moves down, before it when it moves up. It is drawn on the list itself (the
// window clips its children, so nothing drawn on it shows over the list); the list repaints
// itself before each new mark, so no old one stays.
void TFrmMain::DrawPictureInsertMark(int target) {
  HWND list = Control(id::BitmapListBox);
  if (dragMark_ == target) return;
  if (dragMark_ >= 0) {
    ::InvalidateRect(list, nullptr, TRUE);
    ::UpdateWindow(list);
  }
  dragMark_ = target;
  if (target < 0 || target == dragFrom_) return;
  RECT item{}, client{};
  ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(target), reinterpret_cast<LPARAM>(&item));
  ::GetClientRect(list, &client);
  const int y = target > dragFrom_ ? item.bottom : item.top;
  base::WindowDC dc(list);
  if (!dc) return;
  const RECT line{client.left, y - kInsertMarkHalf, client.right, y + kInsertMarkHalf};
  ::FillRect(dc.get(), &line, ::GetSysColorBrush(COLOR_WINDOWTEXT));
}

// The picture list is a drag list: an entry dragged onto another takes that one's place (the
// entries between move up or down by one); dropped below the last entry it goes to the end.
// The list reports the drag to its parent, whose panel passes it on to this window.
LRESULT TFrmMain::PictureListDrag(const DRAGLISTINFO& drag) {
  HWND list = Control(id::BitmapListBox);
  if (drag.hWnd != list) return 0;
  return base::Guard(
      "TFrmMain.PictureListDrag",
      [&]() -> LRESULT {
        const int target = DropTarget(list, drag.ptCursor);
        switch (drag.uNotification) {
          case DL_BEGINDRAG:
            dragFrom_ = ::LBItemFromPt(list, drag.ptCursor, FALSE);
            dragMark_ = -1;
            return dragFrom_ >= 0 ? TRUE : FALSE;
          case DL_DRAGGING:
            DrawPictureInsertMark(target);
            return target >= 0 ? DL_MOVECURSOR : DL_STOPCURSOR;
          case DL_DROPPED:
            DrawPictureInsertMark(-1);
            if (dragFrom_ >= 0 && target >= 0 && target != dragFrom_) {
              MoveEntry(list, dragFrom_, target);
              BitmapListBoxClick();
            }
            dragFrom_ = -1;
            return 0;
          default:  // DL_CANCELDRAG
            DrawPictureInsertMark(-1);
            dragFrom_ = -1;
            return 0;
        }
      },
      static_cast<LRESULT>(0));
}

void TFrmMain::SpeedButton14Click() {
  base::GuardVoid("TFrmMain.SpeedButton14Click", [&] { MoveCurrentEntry(Control(id::BitmapListBox), -1); });
}

void TFrmMain::BtnPicMoveDownClick() {
  base::GuardVoid("TFrmMain.BtnPicMoveDownClick", [&] { MoveCurrentEntry(Control(id::BitmapListBox), 1); });
}

void TFrmMain::BtnPicSortClick() {
  base::GuardVoid("TFrmMain.BtnPicSortClick", [&] {
    // A list box cannot change its sorting style once made: switched on, the entries are put in
    // alphabetical order once; switched off, they stay as they are.
    picturesSorted_ = !picturesSorted_;
    if (!picturesSorted_) return;
    HWND list = Control(id::BitmapListBox);
    std::vector<std::pair<std::wstring, LRESULT>> entries;
    const std::vector<std::wstring> texts = PictureEntries();
    for (size_t i = 0; i < texts.size(); ++i)
      entries.emplace_back(texts[i], ::SendMessageW(list, LB_GETITEMDATA, i, 0));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return _wcsicmp(a.first.c_str(), b.first.c_str()) < 0; });
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const auto& [text, key] : entries) {
      const LRESULT at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
      ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), key);
    }
  });
}

void TFrmMain::BitmapListBoxClick() {
  base::GuardVoid("TFrmMain.BitmapListBoxClick", [&] {
    HWND list = Control(id::BitmapListBox);
    if (::SendMessageW(list, LB_GETSELCOUNT, 0, 0) > 1) {
      SetPreview({});
      return;
    }
    const LRESULT at = ::SendMessageW(list, LB_GETCARETINDEX, 0, 0);
    if (at < 0 || at >= ::SendMessageW(list, LB_GETCOUNT, 0, 0)) return;
    const std::wstring path = PicturePathAt(static_cast<int>(at));
    base::UniqueBitmap picture = LoadBitmapFile(path);
    const bool loaded = static_cast<bool>(picture);
    SetPreview(std::move(picture));
    const std::wstring name = PictureEntries()[static_cast<size_t>(at)];
    SetStatus(loaded ? base::Format(L"%s ：%s", StrCurrentPicture, name) : base::Format(kPictureMissingFmt, path));
  });
}

void TFrmMain::MnOpenPicPathClick() {
  base::GuardVoid("TFrmMain.MnOpenPicPathClick", [&] {
    // The "img" folder of the recording last split; before any split, that of the path bar's
    // recording folder.
    base::ShellOpen(hwnd(), L"open", (picFolder_.empty() ? recordFolder_ : picFolder_) + L"img");
  });
}

void TFrmMain::BtnClosePICPanClick() {
  if (FlatButton* close = Button(id::BtnClosePICPan)) close->SetTag(0);
  SetControlVisible(id::PnlPic, false);
}

void TFrmMain::BtnCreateAVIClick() {
  base::GuardVoid("TFrmMain.BtnCreateAVIClick", [&] {
    ShowPicturePanel();
    if (::SendMessageW(Control(id::BitmapListBox), LB_GETCOUNT, 0, 0) <= 0) {
      base::ShowMessage(hwnd(), StrAddPictures, kApplicationTitle, MB_OK);
      ::SetFocus(Control(id::BitmapListBox));
      return;
    }
    ClosePlayer();
    base::ShowMessage(hwnd(), kCreateVideoUnavailable, kApplicationTitle, MB_OK);
  });
}

}  // namespace app
