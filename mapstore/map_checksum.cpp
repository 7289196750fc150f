// CRC-32C (Castagnoli, reflected) of map file records.
#include <cstring>

#include "mapstore/map_format.h"

namespace mapfile {
namespace {
// CRC-32C rather than the IEEE polynomial because x86-64 computes it in hardware, which
// keeps checksumming well below the cost of the writes themselves.

const uint32_t kCrc32cPolynomial = 0x82F63B78u;

struct CrcTables {
    uint32_t t[8][256];
    CrcTables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? kCrc32cPolynomial ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        }
    }
};

// Eight bytes per step through eight tables; works on the complemented register.
uint32_t Crc32cSoftware(uint32_t crc, const uint8_t* p, size_t size) {
    static const CrcTables tables;
    const uint32_t(&t)[8][256] = tables.t;
    while (size >= 8) {
        uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                             uint32_t(p[3]) << 24);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZOLVA_HAVE_CRC32C_INSTRUCTION 1
// x86 is little-endian, so 8-byte loads feed the bytes in file order.
__attribute__((target("sse4.2"))) uint32_t Crc32cHardware(uint32_t crc, const uint8_t* p, size_t size) {
    uint64_t c = crc;
    while (size >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        c = __builtin_ia32_crc32di(c, word);
        p += 8;
        size -= 8;
    }
    uint32_t c32 = static_cast<uint32_t>(c);
    while (size-- > 0) c32 = __builtin_ia32_crc32qi(c32, *p++);
    return c32;
}

bool HasCrc32cInstruction() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.2") != 0;
    }();
    return has;
}
#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
#ifdef ZOLVA_HAVE_CRC32C_INSTRUCTION
    if (HasCrc32cInstruction()) return ~Crc32cHardware(~crc, p, size);
#endif
    return ~Crc32cSoftware(~crc, p, size);
}

uint32_t BlockChecksum(int32_t code, const uint8_t* stored) {
    uint8_t codeBytes[4];
    PutU32(codeBytes, static_cast<uint32_t>(code));
    return Crc32(Crc32(0, codeBytes, 4), stored, kMapBlockBytes);
}

}  // namespace mapfile
