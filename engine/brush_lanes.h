// Apply's vector forms: the same results as CBrushKernel::ApplyPlain, sample for sample,
// 8 (SSE2) or 16 (AVX2) samples per step. SSE2 is every x86-64 CPU's baseline; the AVX2
// form may only run where CpuHasAvx2() says so.
#pragma once

#include <cstdint>

struct ApplyParams {
    int32_t method;    // 1 raise, 2 dig, 3 flatten
    int32_t strength;  // 0..255
    int32_t target;    // flatten altitude + 1
};

// True when the vector forms handle these parameters exactly: a method of 1..3, a strength
// of 0..255, and for flatten a target within int16.
bool LanesHandle(const ApplyParams& params);
// Both expect LanesHandle(params) and a count that is a multiple of 16.
void ApplyWithSse2(const ApplyParams& params, int16_t* mapSamples, int16_t* strokeSamples, int count);
void ApplyWithAvx2(const ApplyParams& params, int16_t* mapSamples, int16_t* strokeSamples, int count);
bool CpuHasAvx2();

// The plain flatten of `count` samples, for the rare stretch whose weights exceed 255.
void FlattenPlain(int16_t* mapSamples, int16_t* strokeSamples, int32_t target, int count);
