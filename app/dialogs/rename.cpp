// The rename dialog (a name edit with confirm and close; Enter confirms, Esc closes) and the
// rename itself. The rename checks the name before it touches the file and moves the file
// without replacing anything, so a typed name can never destroy another recording.
#include "app/dialogs/rename.h"

#include <memory>

#include "app/texts/allparam.h"
#include "app/forms/dialog_ids.h"
#include "app/forms/flat_button.h"
#include "app/forms/frame_pictures.h"
#include "app/forms/modal_dialog.h"
#include "app/record_paths.h"
#include "base/barrier.h"
#include "base/seams.h"
#include "base/text.h"

namespace app {

namespace {

constexpr const wchar_t* kMessageCaption = L"屏幕录像";

bool IsUsableFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  // The system drops a trailing dot, so "a." would not be the name that was asked for.
  if (name.back() == L'.') return false;
  for (wchar_t c : name)
    if (IsForbiddenNameChar(c)) return false;
  return true;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class TFrmReName : public ModalDialog {
 public:
  bool Build() {
    if (!CreateDialogWindow(L"TFrmReName", StrAlterName, 360, 110, nullptr)) return false;
    frame_.Create(hwnd(), id::RenameFrameFirst);
    AddControl(L"STATIC", StrNameLabel, SS_LEFT, 16, 24, 50, 20, id::RenameLabel1);
    AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 70, 20, 270, 24, id::EdtName, WS_EX_CLIENTEDGE);
    // Flat buttons take no focus: Enter and Esc reach them as IDOK and IDCANCEL.
    AddFlatButton(confirm_, id::RenameBtnConfirm, {178, 70, 254, 96}, L"确定", L"confirm");
    AddFlatButton(close_, id::RenameBtnClose, {264, 70, 340, 96}, L"关闭", L"BtnClose");
    return true;
  }

  // Presets the edit and the name to oldName and runs the dialog; the name typed when it was
  // confirmed, or oldName when it was closed.
  std::wstring Ask(const std::wstring& oldName, HWND owner) {
    newName_ = oldName;
    ::SetWindowTextW(Item(id::EdtName), oldName.c_str());
    RunModal(owner);
    return newName_;
  }

 protected:
  void OnShowModal() override {
    HWND edit = Item(id::EdtName);
    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
  }
  void OnCommand(int id, int code, HWND control) override {
    if (code == BN_CLICKED && id == id::RenameBtnConfirm) newName_ = ItemText(id::EdtName);
    ModalDialog::OnCommand(id, code, control);
  }

 private:
  std::wstring newName_;
  PictureFrame frame_;
  FlatButton confirm_, close_;
};

std::unique_ptr<TFrmReName> gFrmReName;

}  // namespace

std::wstring RenameTargetPath(const std::wstring& folder, const std::wstring& newName, const std::wstring& extension) {
  const std::wstring name = base::Trim(newName);
  const bool hasExtension = name.find(L'.') != std::wstring::npos;
  return folder + name + (hasExtension ? std::wstring() : extension);
}

RenameOutcome RenameRecordingFile(const std::wstring& folder, const std::wstring& oldName,
                                  const std::wstring& newName, const std::wstring& extension) {
  const std::wstring name = base::Trim(newName);
  if (name.empty()) return RenameOutcome::Cancelled;
  if (!IsUsableFileName(name)) return RenameOutcome::InvalidName;
  const std::wstring oldPath = folder + oldName;
  const std::wstring newPath = RenameTargetPath(folder, name, extension);
  if (newPath == oldPath) return RenameOutcome::Unchanged;
  // A change of letter case only names the same file: that is the one "existing" target a
  // rename may take.
  const bool sameFile = ::CompareStringOrdinal(newPath.c_str(), -1, oldPath.c_str(), -1, TRUE) == CSTR_EQUAL;
  if (!sameFile && Exists(newPath)) return RenameOutcome::TargetExists;
  if (!sameFile)
    return ::MoveFileExW(oldPath.c_str(), newPath.c_str(), 0) ? RenameOutcome::Renamed : RenameOutcome::Failed;
  // A file system that finds names without regard to case may take "a" to "A" for a move onto
  // itself and change nothing: the case change goes through a free temporary name.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring parked = folder + L"~rename" + std::to_wstring(::GetTickCount() + attempt) + L".tmp";
    if (Exists(parked)) continue;
    if (!::MoveFileExW(oldPath.c_str(), parked.c_str(), 0)) return RenameOutcome::Failed;
    if (::MoveFileExW(parked.c_str(), newPath.c_str(), 0)) return RenameOutcome::Renamed;
    ::MoveFileExW(parked.c_str(), oldPath.c_str(), 0);
    return RenameOutcome::Failed;
  }
  return RenameOutcome::Failed;
}

bool RenameRecording(const std::wstring& folder, const std::wstring& oldName, const std::wstring& extension,
                     HWND owner) {
  return base::Guard(
      "RenameRecording",
      [&] {
        // Made again when its window went with a window that owned it.
        if (!gFrmReName || !gFrmReName->hwnd()) {
          auto dialog = std::make_unique<TFrmReName>();
          if (!dialog->Build()) return false;
          gFrmReName = std::move(dialog);
        }
        const std::wstring typed = gFrmReName->Ask(oldName, owner);
        const RenameOutcome outcome = RenameRecordingFile(folder, oldName, typed, extension);
        const std::wstring target = RenameTargetPath(folder, typed, extension);
        switch (outcome) {
          case RenameOutcome::InvalidName:
            base::ShowMessage(owner, base::Format(StrIllegalPathFmt, base::Trim(typed)), kMessageCaption, MB_OK);
            break;
          case RenameOutcome::TargetExists:
            base::ShowMessage(owner, base::Format(L"文件%s已存在，没有更改名称。", target), kMessageCaption, MB_OK);
            break;
          case RenameOutcome::Failed:
            base::ShowMessage(owner, base::Format(L"无法将录像改名为%s", target), kMessageCaption, MB_OK);
            break;
          default:
            break;
        }
        return outcome == RenameOutcome::Renamed;
      },
      false);
}

HWND RenameDialogWindow() { return gFrmReName ? gFrmReName->hwnd() : nullptr; }

}  // namespace app
