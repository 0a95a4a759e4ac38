// Shared by the benchmark programs, beside the clock and the copy yardstick of bench_timing.h:
// medians, and figures gathered from several processes of the same program (each process
// writes "name value" lines into a file named on its command line; the parent reads them
// back), with their min, median and max.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_timing.h"

namespace bench {

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Named figures of one process.
using Figures = std::map<std::string, double>;

inline void WriteFigures(const wchar_t* path, const Figures& figures) {
  FILE* f = _wfopen(path, L"w");
  if (!f) return;
  for (const auto& [name, value] : figures) std::fprintf(f, "%s %.6f\n", name.c_str(), value);
  std::fclose(f);
}

// Runs this program `processes` times in turn with `args` plus "--out FILE" and gathers what
// each wrote. A process that failed adds nothing.
inline std::vector<Figures> RunProcesses(int processes, const std::wstring& args) {
  wchar_t exe[MAX_PATH], temp[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ::GetTempPathW(MAX_PATH, temp);
  std::vector<Figures> all;
  for (int i = 0; i < processes; ++i) {
    const std::wstring out = std::wstring(temp) + L"reclume_bench_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                             std::to_wstring(i) + L".txt";
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + args + L" --out \"" + out + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) continue;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    Figures figures;
    if (FILE* in = _wfopen(out.c_str(), L"r")) {
      char name[128];
      double value = 0;
      while (std::fscanf(in, "%127s %lf", name, &value) == 2) figures[name] = value;
      std::fclose(in);
    }
    ::DeleteFileW(out.c_str());
    if (!figures.empty()) all.push_back(std::move(figures));
  }
  return all;
}

struct Spread {
  double min = 0, median = 0, max = 0;
};

inline Spread SpreadOf(const std::vector<Figures>& all, const std::string& name) {
  std::vector<double> v;
  for (const Figures& f : all) {
    auto it = f.find(name);
    if (it != f.end()) v.push_back(it->second);
  }
  if (v.empty()) return {};
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2], v.back()};
}

// The value of "--name N" on the command line, or fallback.
inline int IntArg(int argc, wchar_t** argv, const wchar_t* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], name) == 0) return static_cast<int>(std::wcstol(argv[i + 1], nullptr, 10));
  return fallback;
}
inline const wchar_t* StrArg(int argc, wchar_t** argv, const wchar_t* name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::wcscmp(argv[i], name) == 0) return argv[i + 1];
  return nullptr;
}

}  // namespace bench
