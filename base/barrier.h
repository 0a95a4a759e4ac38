// The exception barrier: no C++ exception may cross a window procedure, dialog procedure,
// thread entry or platform callback. Each such boundary runs its body through Guard, which
// catches everything, leaves a line for a debugger (OutputDebugStringW) and returns the
// fallback value instead.
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

namespace base {

// Records an exception that reached a boundary (where: the boundary's name).
void ReportBarrierException(const char* where, const std::exception* e) noexcept;

template <class F, class R = std::invoke_result_t<F>>
R Guard(const char* where, F&& body, R fallback) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (const std::exception& e) {
    ReportBarrierException(where, &e);
  } catch (...) {
    ReportBarrierException(where, nullptr);
  }
  return fallback;
}

// For bodies that return nothing; returns false when an exception was caught.
template <class F>
bool GuardVoid(const char* where, F&& body) noexcept {
  try {
    std::forward<F>(body)();
    return true;
  } catch (const std::exception& e) {
    ReportBarrierException(where, &e);
  } catch (...) {
    ReportBarrierException(where, nullptr);
  }
  return false;
}

}  // namespace base
