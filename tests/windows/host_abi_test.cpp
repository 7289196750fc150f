// The plug-in's declarations of the host's libraries against a DLL built in the Microsoft
// compiler's mode (tests/abi/host_abi_check.cpp): structures returned and passed by value,
// doubles, out-parameters, and the noise members called through the plug-in's own noise
// path. Linked through the same generated definition files as the module, so a member
// whose name or calling convention differs from the host compiler's fails here.
#include <gtest/gtest.h>
#include <windows.h>

#include "generator/host_noise.h"
#include "host/hpi.h"

namespace {

// How many noise objects the check DLL has destroyed with their canary intact.
int DestroyedNoiseCount() {
    typedef int (*Count)();
    HMODULE check = ::GetModuleHandleW(L"host_abi_check.dll");
    auto count = check != nullptr ? reinterpret_cast<Count>(::GetProcAddress(check, "CheckDestroyedNoiseCount")) : nullptr;
    return count != nullptr ? count() : -1;
}

}  // namespace

TEST(HostAbiTest, InterfaceCallsCarryEveryArgumentAndResult) {
    HPI_SIZE size = HPI_GetMeshSize(3, 35.5);
    EXPECT_EQ(65, size.cx);
    EXPECT_EQ(-32, size.cy);

    long x = 0, y = 0;
    HPI_PosToMesh(7, GEOPOS{35.25, 139.75}, &x, &y);
    EXPECT_EQ(13975 + 7, x);
    EXPECT_EQ(3525 - 7, y);

    GEOPOS centre = {};
    HPI_GetViewCenter(4, &centre);
    EXPECT_EQ(4.5, centre.lat);
    EXPECT_EQ(-4.0, centre.lon);

    short samples[3] = {};
    EXPECT_EQ(1200 + kGetBlockFromFile, HPI_GetMapBlock(9, 1200, samples, kGetBlockFromFile));
    EXPECT_EQ(9, samples[0]);
    EXPECT_EQ(12, samples[1]);
    EXPECT_EQ(static_cast<short>(kGetBlockFromFile), samples[2]);

    EXPECT_EQ(5u * 1000 + 'B' + 42, HPI_GetProfileInt(5, "BrushSize", 42));
}

TEST(HostAbiTest, NoiseMembersThroughThePluginsNoisePath) {
    int destroyedBefore = DestroyedNoiseCount();
    ASSERT_LE(0, destroyedBefore);
    {
        HostNoise holder;
        CPerlinNoise& noise = holder.Object();
        EXPECT_EQ(-7, noise.enabled) << "the host's constructor ran on the storage";
        noise.enabled = 1;
        noise.Create(0.25, 2.0, 3.0, 5.0);
        double spacing = 1.5, finest = 0.5;
        EXPECT_EQ(15 + 1000, noise.GetOctaves(spacing, finest));
        EXPECT_EQ(2.25, spacing);
        EXPECT_EQ(-2.0, finest);
        EXPECT_EQ(4000 + 9 + 0.75 + 0.25 + 5.0 / 64, noise.PerlinNoise2D(4.0, 9.0, 6));
    }
    EXPECT_EQ(destroyedBefore + 1, DestroyedNoiseCount()) << "the host's destructor ran once, canary intact";
}
