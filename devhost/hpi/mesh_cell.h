// Which mesh cell a position lies in: the one rule of the map view (the relief it draws,
// the status bar, the place it hands to plug-ins) and HPI_PosToMesh, so that the cell a
// brush edits is the cell the status bar names and the relief shows under the pointer.
#pragma once

#include <cmath>
#include <cstdint>

namespace devhost {

// Positions are in cells from the map's north-west corner (columns east, rows south).
// A position on a cell's edge belongs to the cell east or south of it; so does one a
// hair short of the edge, as a trip through latitude and longitude leaves it.
const double kMeshEdgeTolerance = 1e-6;

inline int64_t MeshCellOf(double position) { return static_cast<int64_t>(std::floor(position + kMeshEdgeTolerance)); }

}  // namespace devhost
