// The mirror probe: the list of the content tree's 13 mirrors in one of five fixed orders, the
// probe of one address, the walk that publishes the first mirror that answers as the server
// base address, and the thread that runs it once per start.
//
// ServerMan is made on the main thread; the probe thread gets a copy of its list and never
// touches ServerMan. The thread publishes through app::SetServerBaseUrl (whole strings under a
// lock), then sets app::ServerReady (release), so a reader that sees the flag finds the mirror.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace online {

using MirrorList = std::vector<std::wstring>;

// The five probe orders: entry numbers of app::site::kMirrorBaseUrls, first probed first. The
// eight hosts on the maker's domain (entries 0 to 7) always come first.
inline constexpr int kProbeOrders[5][13] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
    {1, 3, 4, 2, 5, 0, 6, 7, 9, 8, 11, 12, 10},
    {3, 4, 2, 5, 0, 6, 7, 1, 10, 9, 11, 12, 8},
    {2, 1, 4, 5, 3, 0, 6, 7, 11, 12, 10, 9, 8},
    {5, 6, 0, 1, 4, 3, 7, 2, 11, 12, 10, 9, 8},
};

// The 13 mirror base addresses in order (1 to 5); empty for any other number.
MirrorList BuildMirrorList(int order);

class TSereverMan {
 public:
  // Clears app::ServerReady and fills the list in an order drawn from the process-wide
  // generator (seeded from the clock first): 1 to 5 with equal chances.
  TSereverMan();
  const MirrorList& Mirrors() const { return mirrors_; }
  int Order() const { return order_; }

 private:
  MirrorList mirrors_;
  int order_ = 0;
};

// The instance the main window made; nullptr before. Never freed.
extern TSereverMan* ServerMan;

// True when url answers a GET with the status "200" or "302" (redirects are not followed).
// "http://" is put in front when the lower-cased url holds it nowhere. Each attempt is bounded:
// 5 s to connect, 5 s to send, 5 s to receive the status; the handles are closed on a thread of
// their own, since Wine drains a long body while it closes a request.
bool TestServerUrl(std::wstring url);

using UrlTester = std::function<bool(const std::wstring&)>;
// Tries the list in order with tester and publishes the first address that answers (base
// address, then the ready flag). True when one answered; nothing is published otherwise.
bool RunProbe(const MirrorList& list, const UrlTester& tester);

// The thread routine. parameter: a MirrorList made with new, which the thread owns (nullptr:
// no list, nothing is probed). Sets the default base address, then walks the list.
DWORD WINAPI ServerProbeThread(void* parameter);

// On the main thread: makes ServerMan (a new order, ServerReady cleared) and starts the probe
// thread on a copy of its list; returns at once. Nobody waits for the thread.
void StartServerProbe();

}  // namespace online
