// Turns a left-button drag in a map view into one brush stroke. One static instance.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/afx.h"

class CStrokeTracker : public CObject {
public:
    CStrokeTracker() = default;
    ~CStrokeTracker() override { tracking = 0; }

    int IsTracking() const { return tracking; }

    int32_t tracking = 0;
    uint32_t view = 0;
    HWND viewWindow = nullptr;
    uint32_t map = 0;
    int32_t startColumn = 0;
    int32_t startRow = 0;
    int32_t endColumn = 0;
    int32_t endRow = 0;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t endX = 0;
    int32_t endY = 0;
};
