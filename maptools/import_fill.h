// Filling voids from their valid neighbours (GDAL's fill, up to the options' maxDistance
// cells away) while the map is written again.
#pragma once

#include <string>

#include "maptools/gdal_import.h"
#include "maptools/import_source.h"

namespace mapimport {

// Fills the source's voids and writes the map. Voids too far from valid data are stored as
// the void value when voids are set; otherwise the first of them ends the work, and
// nothing is left under the map's name. *report keeps its header, warp and crop, and
// gets the counts.
bool FillAndWrite(const BandSource& source, const std::string& out, const ImportOptions& options, ImportReport* report,
                  std::string* error);

}  // namespace mapimport
