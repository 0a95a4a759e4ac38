// The install steps that do not need the window: reading the update folder from the command
// line, checking an install folder, writing the program file, closing the copies of the
// program that run from the target, and the silent update.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

namespace setup {

// The first argument with every "?" turned into a blank, trimmed (Reclume writes the blanks of
// the folder it hands over as "?").
std::wstring UpdateDirFromCommandLine(const wchar_t* commandLine);

// True when folder, normalised, is absolute: "X:\..." or "\\server\share\...".
bool IsAbsoluteFolder(const std::wstring& folder);

// The update mode applies to dir only when it is an existing absolute folder holding the
// program file or the copy a self-update moved aside.
bool IsUpdateTarget(const std::wstring& dir);

// The carried program (the EXEFILE resource "OMBRIX" of this program); empty when missing.
std::span<const uint8_t> CarriedProgram();

// Writes bytes as folder + ExeName: first to a temporary file in folder, then moved over the
// old file in one step, so a failure leaves the old file as it was. ERROR_SUCCESS or the error.
DWORD WriteProgramFile(const std::wstring& folder, std::span<const uint8_t> bytes);

// Every running process whose image is target (the same file, not another copy of the same
// name) is asked to close (WM_CLOSE to its top-level windows, so a recording is saved) and,
// after up to waitMs, terminated. Messages of this thread are served meanwhile.
void CloseRunningCopies(const std::wstring& target, DWORD waitMs = 10000);

// The update mode: writes only the program file into dir; on failure puts the aside copy back
// when the program file is missing, shows the failure message and returns false.
bool RunUpdate(const std::wstring& dir, std::span<const uint8_t> bytes);

// The message every failed install or update shows.
std::wstring FailureMessage();
// The caption of the setup program's message boxes.
inline constexpr const wchar_t* kSetupTitle = L"QIV软件安装包";

}  // namespace setup
