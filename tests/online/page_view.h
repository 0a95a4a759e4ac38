// A browser view of the tests' own for the version checks (under Wine no page ever completes):
// it serves a body at an address and records what it is asked to load.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "online/browser_view.h"

namespace onlinetest {

class PageView : public online::BrowserView {
 public:
  void Navigate(const std::wstring& url) override { navigations.push_back(url); }
  std::wstring LocationURL() override { return location; }
  bool HasDocument() override { return document; }
  std::wstring BodyOuterHtml() override { return body; }
  bool SetDocumentClick(std::function<void()>) override { return document; }
  std::optional<online::ClickedElement> EventElement() override { return std::nullopt; }
  IDispatch* Application() override { return nullptr; }
  void SetBounds(const RECT&) override {}
  void Close() override {}

  std::wstring location = L"http://cloud1.qivsoft.example/ombrix/";
  bool document = true;
  std::wstring body;
  std::vector<std::wstring> navigations;
};

}  // namespace onlinetest
