#include "generator/generate_command.h"

// The terrain generator is not part of the module yet; the command does nothing.
void OnGenerate() {}
