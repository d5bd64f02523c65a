// Checks shared by the fuzz targets.
#pragma once
#include <sanitizer/common_interface_defs.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "control/settings.h"
#include "control/zip.h"

// Ends the run with a report that reaches the log even under -close_fd_mask.
inline void Check(bool ok, const char* what) {
    if (ok) return;
    __sanitizer_report_error_summary(("SUMMARY: broken invariant: " + std::string(what)).c_str());
    abort();
}

// Degrees clamped, NaN, unset, or a ZIP table entry as stored.
inline void CheckLocation() {
    bool lat = std::isnan(latitude) || std::fabs(latitude) <= kMaxLatitude || latitude == kUnset;
    for (int i = 0; !lat && i < kZipRecords; i++) lat = ZTable[i].latitude == latitude;
    Check(lat, "latitude clamped, NaN or from the ZIP table");
    Check(std::isnan(longitude) || std::fabs(longitude) <= kMaxLongitude || longitude == kUnset,
          "longitude clamped or NaN");
}
