#include "palette/zolva_palette.h"

// The palette's controls are not built yet: the fields keep the values they were given.
void CZolvaPalette::ReadControls() {}
