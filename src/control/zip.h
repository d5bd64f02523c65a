// US ZIP code centroids, compiled in.
#pragma once
#include <cstdint>

struct ZipRecord {
    int64_t code;       // ZIP code as a number (02134 is 2134)
    float latitude;     // degrees north
    float longitude;    // degrees east
};

constexpr int kZipRecords = 42049;
extern const ZipRecord ZTable[kZipRecords];   // sorted by code, unique

// Looks a code up; the key is compared as an unsigned 32-bit value, so a
// negative key never matches. Returns 1 and fills lat/lon on a hit, 0 on a miss.
int latzip(int32_t code, float& lat, float& lon);
