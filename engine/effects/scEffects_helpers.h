// Internal to the effects: the small helpers their files share.
#pragma once

#include <cstdint>
#include <utility>

#include "engine/effects/scEffects.h"

namespace engine::helpers {

inline uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// The channel set of a one-channel form: only Channel (none for a channel past 3).
inline TChannels OnlyChannel(uint8_t channel) {
  TChannels c = NoChannels;
  if (channel < 4) c[channel] = true;
  return c;
}

// Puts an event slot back to what it held when the guard was made.
template <class Event>
class HookGuard {
 public:
  HookGuard(Event& slot, Event replacement) : slot_(slot), saved_(std::move(slot)) { slot_ = std::move(replacement); }
  ~HookGuard() { slot_ = std::move(saved_); }
  HookGuard(const HookGuard&) = delete;
  HookGuard& operator=(const HookGuard&) = delete;

 private:
  Event& slot_;
  Event saved_;
};

}  // namespace engine::helpers
