#include "control/zip.h"

#include <algorithm>

int latzip(int32_t code, float& lat, float& lon) {
    // The key is taken as unsigned, so -5 becomes a code far above any ZIP.
    const int64_t key = static_cast<int64_t>(static_cast<uint32_t>(code));
    const ZipRecord* end = ZTable + kZipRecords;
    const ZipRecord* hit = std::lower_bound(
        ZTable, end, key, [](const ZipRecord& r, int64_t k) { return r.code < k; });
    if (hit == end || hit->code != key) return 0;
    lat = hit->latitude;
    lon = hit->longitude;
    return 1;
}
