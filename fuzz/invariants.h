// Checks and set-up shared by the fuzz targets.
#pragma once
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "control/zip.h"

// Ends the run with a report when an invariant is broken. The report goes
// wherever the sanitizers report, also under -close_fd_mask.
inline void Check(bool ok, const char* what) {
    if (ok) return;
    std::string line = std::string("SUMMARY: broken invariant: ") + what;
    __sanitizer_report_error_summary(line.c_str());
    abort();
}

// A latitude or longitude is sound when it was clamped to +-bound, is NaN
// (which clamping lets through), or comes from the ZIP table as stored.
inline bool SoundDegrees(float v, float bound, float ZipRecord::*field) {
    if (std::isnan(v) || (v >= -bound && v <= bound)) return true;
    for (const ZipRecord& r : ZTable)
        if (r.*field == v) return true;
    return false;
}

// What the program prints is of no interest here; it only slows fuzzing down.
inline void SilenceStdout() {
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    fflush(stdout);
    dup2(null, STDOUT_FILENO);
    close(null);
}
