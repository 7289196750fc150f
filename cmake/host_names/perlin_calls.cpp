// One call of each member of the host's noise family that crosses a module boundary, each
// in a function of its own. Compiled twice, once by a compiler in the host's own mode and
// once by ours, it yields both names of every member: the first symbol each function refers
// to (host_names.cmake pairs them by the function's name).
#include "host/perlin.h"

extern "C" {

void CPerlinNoise_Constructor() { CPerlinNoise noise; }
void CPerlinNoise_Destructor(CPerlinNoise* noise) { noise->~CPerlinNoise(); }
void CPerlinNoise_Create(CPerlinNoise* noise) { noise->Create(0.5, 1.0, 2.0, 3.0); }
int CPerlinNoise_GetOctaves(CPerlinNoise* noise, double& value) { return noise->GetOctaves(value, value); }
double CPerlinNoise_PerlinNoise2D(CPerlinNoise* noise) { return noise->PerlinNoise2D(1.0, 2.0, 3); }
void CPerlinNoise_Assign(CPerlinNoise* to, const CPerlinNoise* from) { *to = *from; }

void CPerlinCloud_Constructor() { CPerlinCloud noise; }
double CPerlinCloud_Cloud2D(CPerlinCloud* noise) { return noise->Cloud2D(1.0, 2.0, 3); }
void CPerlinCloud_Assign(CPerlinCloud* to, const CPerlinCloud* from) { *to = *from; }

void CPerlinBump_Constructor() { CPerlinBump noise; }
double CPerlinBump_Bump2D(CPerlinBump* noise) { return noise->Bump2D(1.0, 2.0, 3); }
void CPerlinBump_Assign(CPerlinBump* to, const CPerlinBump* from) { *to = *from; }

}  // extern "C"
