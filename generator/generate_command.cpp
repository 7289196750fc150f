#include "generator/generate_command.h"

#include "frame/generation_guard.h"
#include "frame/registry.h"
#include "generator/generation_dialog.h"
#include "host/hpi_win.h"

// The palette's generate button. A click while a generation runs is ignored; a map
// closed meanwhile is neither pushed nor redrawn, only discarded.
void OnGenerate() {
    if (IsGenerating()) return;
    HPI_HANDLE map = HPI_GetActiveBaseMap();
    if (!EnsureEditor(map)) return;
    if (!HPI_IsOpenedMap(map)) return;
    HPI_HANDLE view = HPI_GetActiveView();
    GEOPOS centre = {0.0, 0.0};
    HPI_GetViewCenter(view, &centre);
    long column = 0, row = 0;
    HPI_PosToMesh(map, centre, &column, &row);
    HPI_SIZE mesh = HPI_GetMeshSize(map, centre.lat);
    double inverseMeshSize = 1.0 / ((mesh.cx + mesh.cy) * 0.5);
    GenerationScope scope(map);
    int generated = RunGenerationDialog(map, static_cast<int>(column), static_cast<int>(row), inverseMeshSize);
    if (generated == 0 || scope.MapClosed()) return;
    MapPushToHost(map);
    HPI_UpdateView(view, 1);
}
