// The fixed texts of the main window.
#pragma once

#include <string>
#include <vector>

#include "app/form1.h"

namespace vx::app {

// Every control as the window is created (Portuguese captions of the start),
// containers before their content.
std::vector<Control> initialControls();

// A control's caption in each language, as the language buttons set it.
struct LanguageCaption {
    std::string name;
    std::string portuguese;
    std::string english;
};
const std::vector<LanguageCaption>& languageCaptions();

// The start-up content of the activity log.
const std::vector<std::string>& startupTips();
// The tips block the language buttons write, and its closing version line.
std::vector<std::string> languageTips(bool portuguese);
std::string tipsVersionLine(bool portuguese);

}  // namespace vx::app
