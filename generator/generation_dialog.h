// The generation dialog (template 129) and the entry that runs it: loads the generation
// parameters, shows them in kilometres, metres and two sliders, and on confirmation saves
// them and generates.
#pragma once

// 1 when terrain was generated (or the user aborted it), 0 otherwise: no editor for the
// map, the dialog cancelled or not created, or a failed generation. `inverseMeshSize`
// turns metres into mesh samples.
int RunGenerationDialog(unsigned map, int column, int row, double inverseMeshSize);
