// Another copy of the program for the recording-target tests, in a process of its own
// (target_holder.exe): it holds a target as that copy's recording does.
#pragma once

#include <windows.h>

#include <string>

#include "app/record_paths.h"
#include "base/unique.h"
#include "tests/support/program_driver.h"

namespace apptest {

// Another copy of the program in a process of its own, holding target as its recording does
// (with sound, the file is an empty closed placeholder until its save), until LetGo.
class OtherCopy {
 public:
  explicit OtherCopy(const std::wstring& target)
      : program_(testsupport::BinFolder() + L"target_holder.exe", L"\"" + target + L"\"", L"") {
    const DWORD start = ::GetTickCount();
    while (program_.Running() && !app::TargetHeld(target) && ::GetTickCount() - start < 20000) ::Sleep(20);
    held_ = program_.Running() && app::TargetHeld(target);
  }
  bool held() const { return held_; }
  bool LetGo() {
    base::UniqueHandle release(::OpenEventW(EVENT_MODIFY_STATE, FALSE,
                                            (L"Local\\ReclumeTargetHolder." + std::to_wstring(program_.pid())).c_str()));
    return release && ::SetEvent(release.get()) && program_.WaitForExit(20000) && program_.ExitCode() == 0;
  }

 private:
  testsupport::RunningProgram program_;
  bool held_ = false;
};

}  // namespace apptest
