#include "tests/windows/map_fixture.h"

#include <cstdio>
#include <vector>

#include "mapstore/map_file.h"

GEOPOS CellCentre(const TestMap& map, int column, int row) {
    return GEOPOS{map.originLat - (row + 0.5) * map.cellLat, map.originLon + (column + 0.5) * map.cellLon};
}

void MapViewFixture::SetUp() {
    PaletteFixture::SetUp();
    path_ = Utf8(TestFolder()) + testMap_.prefix + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".map";
    MapHeader header;
    header.width = header.height = kSide;
    header.originLat = testMap_.originLat;
    header.originLon = testMap_.originLon;
    header.cellLat = testMap_.cellLat;
    header.cellLon = testMap_.cellLon;
    std::vector<int16_t> grid(static_cast<size_t>(kSide) * kSide);
    for (int r = 0; r < kSide; ++r) {
        for (int c = 0; c < kSide; ++c) grid[static_cast<size_t>(r) * kSide + c] = testMap_.ground(r, c);
    }
    std::string error;
    ASSERT_TRUE(CreateMapFile(path_, header, grid.data(), &error)) << error;
    original_ = ReadFileBytes(path_);
    map_ = DH_OpenMap(path_.c_str(), nullptr, 0);
    ASSERT_NE(0u, map_);
    view_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, 0, 0, 200, 200, nullptr,
                              nullptr, nullptr, nullptr);
    DH_SetView(kView, view_, 1, CellCentre(testMap_, 320, 320));
    ASSERT_TRUE(Start());
}

void MapViewFixture::TearDown() {
    DH_CloseMap(map_);
    Unload();
    if (view_ != nullptr) ::DestroyWindow(view_);
    std::remove(path_.c_str());
    PaletteFixture::TearDown();
}
