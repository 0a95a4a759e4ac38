// Test doubles for the base seams: a prompter that answers from a script and records what it
// was asked, and a clock that tests set by hand.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/seams.h"

namespace testsupport {

class ScriptedPrompter : public base::Prompter {
 public:
  struct Question {
    std::wstring text, caption;
    UINT flags;
  };
  // Answers given in order; when the script runs out, fallback is returned.
  explicit ScriptedPrompter(std::vector<int> answers = {}, int fallback = IDOK)
      : answers_(answers.begin(), answers.end()), fallback_(fallback) {}
  int Show(HWND, const std::wstring& text, const std::wstring& caption, UINT flags) override {
    std::lock_guard<std::mutex> lock(mutex_);
    asked_.push_back({text, caption, flags});
    if (answers_.empty()) return fallback_;
    int a = answers_.front();
    answers_.pop_front();
    return a;
  }
  std::vector<Question> asked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  int fallback_;
  std::vector<Question> asked_;
};

class ManualClock : public base::Clock {
 public:
  explicit ManualClock(uint32_t start = 1000) : now_(start) {}
  uint32_t NowMs() override { return now_.load(); }
  void Set(uint32_t ms) { now_ = ms; }
  void Advance(uint32_t ms) { now_ += ms; }

 private:
  std::atomic<uint32_t> now_;
};

}  // namespace testsupport
