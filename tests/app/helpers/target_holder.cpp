// A second program for the recording-target tests: it holds the target named on its command
// line as a recording of another copy of the program holds it, until the test sets the event
// "Local\ReclumeTargetHolder.<its process id>"; then it lets go and ends with 0. Ends with 1
// when the target is held already, 2 when the event cannot be made.
#include <windows.h>

#include <string>

#include "app/record_paths.h"
#include "base/unique.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  std::wstring target = commandLine;
  if (target.size() >= 2 && target.front() == L'"' && target.back() == L'"') target = target.substr(1, target.size() - 2);
  const std::wstring name = L"Local\\ReclumeTargetHolder." + std::to_wstring(::GetCurrentProcessId());
  base::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!release) return 2;
  base::UniqueHandle hold;
  if (!app::HoldTarget(target, hold) || !hold) return 1;
  ::WaitForSingleObject(release.get(), INFINITE);
  return 0;
}
