// Names of the plug-in's controls in the script language, so that a script says
// "click raise" or "answer range 8.0" rather than the controls' numbers. Numbers still
// work. Each command looks in its own group: the same word may name a slider for `slider`
// and an edit box for `type`.
#pragma once

#include <string>

namespace devhost {

enum class ControlGroup {
    kPaletteButton,  // click
    kPaletteSlider,  // slider
    kPaletteText,    // type
    kDialogText,     // answer
    kDialogSlider,   // answer-slider
    kDialogButton,   // answer-click
};

// The control id that `word` names in the group (a name or a plain number); -1 when it
// names none.
int ScriptControlId(const std::string& word, ControlGroup group);
// The group's names, space separated, for messages and the README.
std::string ScriptControlNames(ControlGroup group);

}  // namespace devhost
