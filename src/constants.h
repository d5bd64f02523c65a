// The program's fixed numbers, in one place.
#pragma once

// Colour temperatures, kelvins.
constexpr int kDayKelvin = 6500;          // by day, and what a stop restores
constexpr int kDefaultNightKelvin = 3400;

// Fades, seconds.
constexpr int kNightFadeS = 20;           // when night begins or ends
constexpr int kNightSetFadeS = 2;         // to a new night temperature typed at the console
constexpr int kPreviewFadeS = 4;          // the preview's fade there, and back

// Waits, microseconds.
constexpr long kLoopPauseUs = 500000;     // between passes of the main loop
constexpr long kFadeStepUs = 20000;       // between steps of a fade
constexpr long kPreviewHoldUs = 2000000;  // the preview holds the other colour
constexpr long kRestoreGapUs = 20000;     // between the two loads of a restore

// Console lines served in one pass of the loop: more waiting input must not
// hold up the night test and the load.
constexpr int kLinesPerPass = 64;

// Locations, degrees. A latitude or longitude of exactly kUnset is not given.
constexpr float kUnset = -1000.0f;
constexpr float kMaxLatitude = 65.0f;     // numbers given are clamped to +-this
constexpr float kMaxLongitude = 180.0f;

// Gamma ramp sizes a screen may have; a CRTC's may be any but the last.
constexpr int kRampSizes[] = {256, 1024, 2048, 4096};
constexpr int kMaxCrtcRamp = 2048;

// Screens and CRTCs beyond this many are ignored.
constexpr int kSlots = 32;
