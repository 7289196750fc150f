#include "generator/generation_dialog.h"

#include <cstdint>

#include "engine/number_text.h"
#include "frame/module.h"
#include "frame/registry.h"
#include "generator/generation_units.h"
#include "generator/progress_dialog.h"
#include "generator/terrain_gen_dlg.h"
#include "generator/terrain_generator.h"
#include "host/hpi_win.h"

namespace {

const int kMethodButtons = 3;
const int kEdgeButtons = 2;

// A value that names no button of the group selects none.
int GroupIndex(int64_t index, int buttons) { return index >= 0 && index < buttons ? static_cast<int>(index) : -1; }

void FillDialog(CTerrainGenDlg& dialog, const CTerrainGenerator& parameters, double inverseMeshSize) {
    dialog.persistance = parameters.Persistance;
    dialog.mag = parameters.Mag;
    dialog.maxAltText = FormatInteger(parameters.MaxAlt);
    dialog.minAltText = FormatInteger(parameters.MinAlt);
    dialog.rangeText = RangeTextOfDist(parameters.Dist, inverseMeshSize);
    dialog.method = GroupIndex(static_cast<int64_t>(parameters.Method) - 1, kMethodButtons);
    dialog.edge = GroupIndex(1 - static_cast<int64_t>(parameters.Edge), kEdgeButtons);
}

// With no button selected the method becomes 0 and the border treatment 2.
void ReadDialog(const CTerrainGenDlg& dialog, CTerrainGenerator& parameters, double inverseMeshSize) {
    parameters.Persistance = dialog.persistance;
    parameters.Mag = dialog.mag;
    parameters.MaxAlt = LeadingInteger(dialog.maxAltText);
    parameters.MinAlt = LeadingInteger(dialog.minAltText);
    parameters.Dist = DistOfRangeText(dialog.rangeText, inverseMeshSize);
    parameters.Method = dialog.method + 1;
    parameters.Edge = 1 - dialog.edge;
}

}  // namespace

// The parameters are saved before the generation starts, so they persist whatever it does.
int RunGenerationDialog(unsigned map, int column, int row, double inverseMeshSize) {
    CMapEditor* editor = FindEditor(map);
    if (editor == nullptr) return 0;
    CWnd mainWindow;
    mainWindow.m_hWnd = HPI_GetMainWnd();
    CTerrainGenDlg dialog(&mainWindow);
    CTerrainGenerator parameters;
    parameters.LoadProfile(g_pluginHandle);
    FillDialog(dialog, parameters, inverseMeshSize);
    if (dialog.DoModal() != IDOK) return 0;
    ReadDialog(dialog, parameters, inverseMeshSize);
    parameters.SaveProfile(g_pluginHandle);
    return GenerateWithProgress(parameters, *editor, column, row);
}
