// The vector forms of Apply, written once over an instruction set's 16-bit-lane
// operations (L) and compiled once per instruction set, each in its own file with that
// file's compiler flags. Everything here has internal linkage, so the AVX2 file's copies
// can never stand in for the SSE2 file's.
//
// Raise and dig: with p = S w (at most 255 x 255, so it fits an unsigned 16-bit lane),
// 4 p / 255 = 4 (p / 255) + 4 (p mod 255) / 255, and x / 255 = (x * 0x8081) >> 23 for
// every 16-bit x. Flatten: pmaddwd gives A w + (255 - w) old exactly in 32 bits for A
// within int16, and |that| <= 255 x 32768 (a weighted mean of two int16 values).
#pragma once

#include <cstdint>

#include "engine/brush_lanes.h"

// One instruction set's operations, named after its intrinsics: prefix `_mm` + P
// (empty or 256), whole-register suffix `si` + BITS (128 or 256).
#define ZOLVA_LANE_OPERATIONS(NAME, P, BITS)                                                          \
    struct NAME {                                                                                     \
        typedef __m##BITS##i V;                                                                       \
        typedef __m##BITS F;                                                                          \
        static const int kLanes = BITS / 16;                                                          \
        static V Load(const int16_t* p) { return _mm##P##_loadu_si##BITS(reinterpret_cast<const V*>(p)); } \
        static void Store(int16_t* p, V v) { _mm##P##_storeu_si##BITS(reinterpret_cast<V*>(p), v); }  \
        static V Zero() { return _mm##P##_setzero_si##BITS(); }                                        \
        static V Set16(int16_t x) { return _mm##P##_set1_epi16(x); }                                   \
        static V Max16(V a, V b) { return _mm##P##_max_epi16(a, b); }                                  \
        static V Min16(V a, V b) { return _mm##P##_min_epi16(a, b); }                                  \
        static V Add16(V a, V b) { return _mm##P##_add_epi16(a, b); }                                  \
        static V Sub16(V a, V b) { return _mm##P##_sub_epi16(a, b); }                                  \
        static V AddSat16(V a, V b) { return _mm##P##_adds_epi16(a, b); }                              \
        static V SubSat16(V a, V b) { return _mm##P##_subs_epi16(a, b); }                              \
        static V MulLo16(V a, V b) { return _mm##P##_mullo_epi16(a, b); }                              \
        static V MulHiU16(V a, V b) { return _mm##P##_mulhi_epu16(a, b); }                             \
        static V SllI16(V a, int n) { return _mm##P##_slli_epi16(a, n); }                              \
        static V SrlI16(V a, int n) { return _mm##P##_srli_epi16(a, n); }                              \
        static V CmpGt16(V a, V b) { return _mm##P##_cmpgt_epi16(a, b); }                              \
        static F ToF32(V a) { return _mm##P##_cvtepi32_ps(a); }                                        \
        static F SetF32(float x) { return _mm##P##_set1_ps(x); }                                       \
        static F MulF32(F a, F b) { return _mm##P##_mul_ps(a, b); }                                    \
        static V TruncateF32(F a) { return _mm##P##_cvttps_epi32(a); }                                 \
        static V And(V a, V b) { return _mm##P##_and_si##BITS(a, b); }                                 \
        static V AndNot(V mask, V b) { return _mm##P##_andnot_si##BITS(mask, b); }                     \
        static V Or(V a, V b) { return _mm##P##_or_si##BITS(a, b); }                                   \
        static V UnpackLo16(V a, V b) { return _mm##P##_unpacklo_epi16(a, b); }                        \
        static V UnpackHi16(V a, V b) { return _mm##P##_unpackhi_epi16(a, b); }                        \
        static V Madd16(V a, V b) { return _mm##P##_madd_epi16(a, b); }                                \
        static V PackSat32(V a, V b) { return _mm##P##_packs_epi32(a, b); }                            \
        static bool Any(V mask) { return _mm##P##_movemask_epi8(mask) != 0; }                          \
    }

namespace {

template <class L>
typename L::V StepLanes(typename L::V weights, typename L::V strength) {
    typedef typename L::V V;
    V clamped = L::Min16(L::Max16(weights, L::Zero()), L::Set16(255));
    V product = L::MulLo16(clamped, strength);
    V quotient = L::SrlI16(L::MulHiU16(product, L::Set16(static_cast<int16_t>(0x8081))), 7);
    V remainder = L::Sub16(product, L::MulLo16(quotient, L::Set16(255)));
    V remainderPart = L::SrlI16(L::MulHiU16(L::SllI16(remainder, 2), L::Set16(static_cast<int16_t>(0x8081))), 7);
    return L::Add16(L::SllI16(quotient, 2), remainderPart);
}

// n / 255 truncated toward zero for |n| <= 255 x 32768: n converts to float exactly, and
// the product with 1/255 rounded to float never reaches or crosses the next integer in
// that range (checked for every n), so truncating it gives the quotient.
template <class L>
typename L::V DivideBy255Lanes(typename L::V n) {
    return L::TruncateF32(L::MulF32(L::ToF32(n), L::SetF32(1.0f / 255.0f)));
}

template <class L>
typename L::V Select(typename L::V mask, typename L::V yes, typename L::V no) {
    return L::Or(L::And(mask, yes), L::AndNot(mask, no));
}

template <class L>
void RaiseOrDigLanes(bool dig, int32_t strength, int16_t* map, int16_t* stroke, int count) {
    typedef typename L::V V;
    const V s = L::Set16(static_cast<int16_t>(strength));
    for (int k = 0; k < count; k += L::kLanes) {
        V old = L::Load(map + k), w = L::Load(stroke + k);
        V step = StepLanes<L>(w, s);
        V result = dig ? Select<L>(L::CmpGt16(w, L::Zero()), L::Max16(L::SubSat16(old, step), L::Zero()), old)
                       : L::AddSat16(old, step);
        L::Store(stroke + k, old);
        L::Store(map + k, result);
    }
}

template <class L>
void FlattenLanes(int32_t target, int16_t* map, int16_t* stroke, int count) {
    typedef typename L::V V;
    const V a = L::Set16(static_cast<int16_t>(target)), full = L::Set16(255);
    for (int k = 0; k < count; k += L::kLanes) {
        V old = L::Load(map + k), w = L::Load(stroke + k);
        if (L::Any(L::CmpGt16(w, full))) {
            FlattenPlain(map + k, stroke + k, target, L::kLanes);
            continue;
        }
        V rest = L::Sub16(full, w);
        V low = DivideBy255Lanes<L>(L::Madd16(L::UnpackLo16(w, rest), L::UnpackLo16(a, old)));
        V high = DivideBy255Lanes<L>(L::Madd16(L::UnpackHi16(w, rest), L::UnpackHi16(a, old)));
        V blended = L::PackSat32(low, high);
        L::Store(stroke + k, old);
        L::Store(map + k, Select<L>(L::CmpGt16(w, L::Zero()), blended, old));
    }
}

template <class L>
void ApplyLanes(const ApplyParams& params, int16_t* map, int16_t* stroke, int count) {
    if (params.method == 3) {
        FlattenLanes<L>(params.target, map, stroke, count);
    } else {
        RaiseOrDigLanes<L>(params.method == 2, params.strength, map, stroke, count);
    }
}

}  // namespace
