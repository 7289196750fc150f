#include "devhost/app/script_controls.h"

#include <cstdlib>

namespace devhost {

namespace {

struct ControlName {
    ControlGroup group;
    const char* name;
    int id;
};

// The plug-in's control ids: its palette (template 20160) and generation dialog (129).
const ControlName kNames[] = {
    {ControlGroup::kPaletteButton, "scroll", 8514},
    {ControlGroup::kPaletteButton, "raise", 8515},
    {ControlGroup::kPaletteButton, "dig", 8516},
    {ControlGroup::kPaletteButton, "flatten", 8517},
    {ControlGroup::kPaletteButton, "generate", 8518},
    {ControlGroup::kPaletteButton, "undo", 8513},
    {ControlGroup::kPaletteButton, "size-1", 341},
    {ControlGroup::kPaletteButton, "size-2", 342},
    {ControlGroup::kPaletteButton, "size-3", 343},
    {ControlGroup::kPaletteButton, "size-4", 344},
    {ControlGroup::kPaletteButton, "size-5", 353},
    {ControlGroup::kPaletteButton, "strength-1", 345},
    {ControlGroup::kPaletteButton, "strength-2", 346},
    {ControlGroup::kPaletteButton, "strength-3", 347},
    {ControlGroup::kPaletteButton, "strength-4", 348},
    {ControlGroup::kPaletteButton, "strength-5", 354},
    {ControlGroup::kPaletteButton, "shape-1", 349},
    {ControlGroup::kPaletteButton, "shape-2", 350},
    {ControlGroup::kPaletteButton, "shape-3", 351},
    {ControlGroup::kPaletteButton, "shape-4", 352},
    {ControlGroup::kPaletteButton, "shape-5", 355},
    {ControlGroup::kPaletteSlider, "size", 8484},
    {ControlGroup::kPaletteSlider, "strength", 8482},
    {ControlGroup::kPaletteSlider, "shape", 8483},
    {ControlGroup::kPaletteSlider, "altitude", 1010},
    {ControlGroup::kPaletteText, "altitude", 1009},
    {ControlGroup::kDialogText, "range", 1000},
    {ControlGroup::kDialogText, "max-altitude", 1009},
    {ControlGroup::kDialogText, "min-altitude", 1011},
    {ControlGroup::kDialogSlider, "range", 1001},
    {ControlGroup::kDialogSlider, "roughness", 1002},
    {ControlGroup::kDialogSlider, "relief", 1003},
    {ControlGroup::kDialogSlider, "max-altitude", 1010},
    {ControlGroup::kDialogSlider, "min-altitude", 1012},
    {ControlGroup::kDialogButton, "add", 1004},
    {ControlGroup::kDialogButton, "subtract", 1005},
    {ControlGroup::kDialogButton, "replace", 1006},
};

}  // namespace

int ScriptControlId(const std::string& word, ControlGroup group) {
    for (const ControlName& entry : kNames) {
        if (entry.group == group && word == entry.name) return entry.id;
    }
    char* end = nullptr;
    long number = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || number < 0 || number > 0xFFFF) return -1;
    return static_cast<int>(number);
}

std::string ScriptControlNames(ControlGroup group) {
    std::string names;
    for (const ControlName& entry : kNames) {
        if (entry.group != group) continue;
        if (!names.empty()) names += ' ';
        names += entry.name;
    }
    return names;
}

}  // namespace devhost
