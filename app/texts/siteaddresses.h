// Every web address of the maker that the programs know, in one place. All of them lie under
// the reserved ".example" domain, so no build of this code ever contacts a stranger's server;
// a deployment replaces the hosts here and nowhere else.
//
// The addresses are macros so that the text tables can join them to their literals at compile
// time (L"官方主页：" RECLUME_HOME_PAGE); code uses the constants below.
#pragma once

// The maker's main web host, as the main window's caption shows it.
#define RECLUME_MAKER_HOST L"www.qivsoft.example"
#define RECLUME_HOME_PAGE L"http://www.qivsoft.example/"
#define RECLUME_DONATE_PAGE L"http://www.qivsoft.example/donate/"
#define RECLUME_ENGLISH_DEMO_PAGE L"http://en.qivsoft.example/reclume/demo/"
// Everything the program downloads or shows from the web lives below one base address: the
// default one on the main host, or the first mirror that answers (each ends with "/").
#define RECLUME_DEFAULT_BASE_URL L"http://www.qivsoft.example/ombrix/"

namespace app::site {

inline constexpr const wchar_t* kMakerHost = RECLUME_MAKER_HOST;
inline constexpr const wchar_t* kHomePage = RECLUME_HOME_PAGE;
inline constexpr const wchar_t* kDonatePage = RECLUME_DONATE_PAGE;
inline constexpr const wchar_t* kEnglishDemoPage = RECLUME_ENGLISH_DEMO_PAGE;
inline constexpr const wchar_t* kDefaultBaseUrl = RECLUME_DEFAULT_BASE_URL;

// The mirrors of the content tree: entry 0 is the maker's file-sharing host, entries 1 to 7 its
// numbered cloud hosts (2 to 8), entries 8 to 12 one host on each of five other domains.
inline constexpr const wchar_t* kMirrorBaseUrls[13] = {
    L"http://files.qivsoft.example/ombrix/",   L"http://cloud2.qivsoft.example/ombrix/",
    L"http://cloud3.qivsoft.example/ombrix/",  L"http://cloud4.qivsoft.example/ombrix/",
    L"http://cloud5.qivsoft.example/ombrix/",  L"http://cloud6.qivsoft.example/ombrix/",
    L"http://cloud7.qivsoft.example/ombrix/",  L"http://cloud8.qivsoft.example/ombrix/",
    L"http://www.qivmirror-a.example/ombrix/", L"http://www.qivmirror-b.example/ombrix/",
    L"http://www.qivmirror-c.example/ombrix/", L"http://www.qivmirror-d.example/ombrix/",
    L"http://www.qivmirror-e.example/ombrix/",
};

}  // namespace app::site
