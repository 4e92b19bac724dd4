// The fixed texts of the main window.
#pragma once

#include <string>
#include <vector>

#include "app/form1.h"

namespace vx::app {

// A control's caption in each language, as the language buttons set it.
struct LanguageCaption {
    Control& control;
    std::string portuguese;
    std::string english;
};
std::vector<LanguageCaption> languageCaptions(TForm1& form);

// The start-up content of the activity log.
const std::vector<std::string>& startupTips();
// The tips block the language buttons write, and its closing version line.
std::vector<std::string> languageTips(bool portuguese);
std::string tipsVersionLine(bool portuguese);

}  // namespace vx::app
