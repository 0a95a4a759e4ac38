// Folder paths, folder checks and creation, folder listings and the numeric order of recording
// names, shared by Reclume and its setup program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Trims blanks (and control characters) from both ends, appends "\" and collapses every run of
// backslashes to one, so the result ends in exactly one "\". A network path keeps its leading
// "\\" ("\\srv\share" gives "\\srv\share\"). An empty or all-blank path is left as it was.
void NormalizeDirPath(std::wstring& path) noexcept;

// The folder part of a path with its trailing separator ("C:\a\b.exe" gives "C:\a\"), empty
// when there is none; and the part after the last separator.
std::wstring FolderOf(const std::wstring& path);
std::wstring FileNameOf(const std::wstring& path);

// The running program's file, as the system started it; empty when it cannot be had.
std::wstring ProgramPath();

// The full, long form of a path: relative parts resolved and short names made long (of a file
// that does not exist yet, its folder's); path itself when it cannot be made full.
std::wstring FullLongPath(const std::wstring& path);

// The name of a named kernel object that stands for path: prefix followed by a hash of the
// upper-cased path, so every letter case of one path gives one name. Object names take no
// backslash and are limited in length; the hash fits a path of any length.
std::wstring PathObjectName(const wchar_t* prefix, const std::wstring& path);

// True when path names an existing folder; an existing file (not a folder); an existing file
// of no bytes.
bool FolderExists(const std::wstring& path) noexcept;
bool FileExists(const std::wstring& path) noexcept;
bool FileIsEmpty(const std::wstring& path) noexcept;

// Creates folder with every missing parent (a blank name names no folder); true when it
// exists afterwards.
bool CreateFolderTree(const std::wstring& folder) noexcept;

// Appends folder + name for every file directly in folder (a missing final "\" is added) whose
// upper-cased name contains the upper-cased filter anywhere; an empty (after trimming) filter or
// ".*" passes every file. Hidden and system files are listed; folders never are. On failure the
// list keeps what was added so far.
void GetFileList(const std::wstring& folder, const std::wstring& filter,
                 std::vector<std::wstring>& list) noexcept;

// The whole number a text begins with, read leniently: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$" or "x"; reading stops at the first foreign
// character, and text without a number gives 0. Runs too long for 64 bits stop at the limit.
int64_t LeadingNumber(std::wstring_view text) noexcept;

// -1, 0 or 1 as the leading number of a is smaller than, equal to or larger than that of b.
int CompareByLeadingNumber(std::wstring_view a, std::wstring_view b) noexcept;

// Sorts by leading number, ascending; items with equal numbers keep their order.
void SortByLeadingNumber(std::vector<std::wstring>& items);

// Re-fills a list box with its own items sorted by leading number. False when listBox is no
// list box (nothing changes then). Allocation failures reach the caller.
bool SortListByNumber(HWND listBox);

}  // namespace base
