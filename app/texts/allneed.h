// Filling the common text table (app/texts/allparam.h) for the language LanguageID selects.
#pragma once

#include <string>
#include <vector>

namespace app {

// PanelButtonHeight := 26, then the common table of LanguageID.
void LoadCommonTexts();

void LoadCommonTextsSimplified();
void LoadCommonTextsEnglish();
// Traditional Chinese: the texts come from the optional text resource "allneed" (UTF-8, 45
// lines). The program does not ship it, and then the common rows stay empty.
void LoadCommonTextsTraditional();

// Takes the rows from the resource's lines: lines 0 to 28 to rows 0 to 28, 37 to 40 to rows 29
// to 32, 42 to 44 to rows 33 to 35 (lines 29 to 36 and 41 are not used). With fewer than 45
// lines nothing is taken and false comes back.
bool FillCommonTextsTraditional(const std::vector<std::wstring>& lines);

}  // namespace app
