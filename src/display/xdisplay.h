// State and calls shared by the display code; the only header with X types.
#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "constants.h"

extern Display* display;
extern int numscreen;
extern int validscreen[kSlots];
extern int kEntries;            // ramp size shared by every valid screen
extern RRCrtc allcrtc[kSlots];  // CRTCs of the valid screens, in discovery order
extern int numcrtc;

// XF86VidMode (vidmode.cpp).
int VidModeAvailable();
int VidModeRampSize(int screen);   // 0 when the size cannot be had
int SetKelvin(Display* dpy, int screen, float k);

// RandR (randr.cpp).
int FindCRTCs();
int SetGammaRandr(float k);   // how many CRTCs were loaded
int SetGammaCRTC(RRCrtc crtc, XRRCrtcGamma* ramps);   // null ramps: leave the CRTC alone
