// Screens and gamma output: the only door to the X server.
#pragma once

extern int useRANDR;   // nonzero: load per CRTC through RandR; 0: per screen via XF86VidMode

// Opens the display (null: Xlib's default), reports and validates the screens
// and collects the CRTCs. Returns 0 when at least one screen can be driven,
// -1 after saying why not.
int FindScreens(const char* name);

// Loads the ramps of temperature k onto every valid screen or CRTC and makes
// sure the requests leave for the server.
int SetKelvinAll(float k);

// Waits until the server has processed everything sent so far.
void SyncDisplay();
