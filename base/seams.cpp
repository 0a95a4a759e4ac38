// The default prompter and clock, and the scoped installers tests use to replace them.
#include "base/seams.h"

#include <mmsystem.h>

#include <atomic>

namespace base {
namespace {

class MessageBoxPrompter : public Prompter {
 public:
  int Show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) override {
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
  }
};

class MultimediaClock : public Clock {
 public:
  uint32_t NowMs() override { return ::timeGetTime(); }
};

MessageBoxPrompter gDefaultPrompter;
MultimediaClock gDefaultClock;
std::atomic<Prompter*> gPrompter{&gDefaultPrompter};
std::atomic<Clock*> gClock{&gDefaultClock};

}  // namespace

Prompter& CurrentPrompter() { return *gPrompter.load(); }
Clock& CurrentClock() { return *gClock.load(); }

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return CurrentPrompter().Show(owner, text, caption, flags);
}

ScopedPrompter::ScopedPrompter(Prompter& p) : previous_(gPrompter.exchange(&p)) {}
ScopedPrompter::~ScopedPrompter() { gPrompter.store(previous_); }
ScopedClock::ScopedClock(Clock& c) : previous_(gClock.exchange(&c)) {}
ScopedClock::~ScopedClock() { gClock.store(previous_); }

}  // namespace base
