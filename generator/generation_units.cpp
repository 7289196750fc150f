#include "generator/generation_units.h"

#include <cmath>

#include "engine/number_text.h"
#include "generator/terrain_generator.h"

int RoughnessPosition(double persistence) {
    if (!(persistence >= 0.0)) persistence = 0.0;
    if (persistence > 1.0) persistence = 1.0;
    return TruncateToInt((1.0 - persistence) * 100.0);
}

int ReliefPosition(double magnification) {
    if (!(magnification >= 0.1)) magnification = 0.1;
    if (magnification > 10.0) magnification = 10.0;
    return TruncateToInt((std::log10(magnification) + 1.0) * 50.0);
}

double PersistenceAt(int roughnessPosition) { return 1.0 - roughnessPosition * 0.01; }

double MagnificationAt(int reliefPosition) { return std::pow(10.0, (reliefPosition - 50) * 0.02); }

int RangePosition(const WideText& rangeText) { return TruncateToInt(LeadingNumber(rangeText) * 10.0); }

WideText RangeTextOfDist(int dist, double inverseMeshSize) {
    return FormatTenths(dist / inverseMeshSize * 0.001);
}

int DistOfRangeText(const WideText& rangeText, double inverseMeshSize) {
    return BoundGenerationDist(TruncateToInt(LeadingNumber(rangeText) * inverseMeshSize * 1000.0));
}
