#pragma once

#include "Design.h"

struct HBITMAP__;
struct HFONT__;

namespace win32layer {

// The system's dots per inch, which every window of the program is laid out
// for (the program declares itself DPI-aware).
int systemDpi();
int toPixels(forms::Twips twips);

// The windows' designs are laid out for an 8-point MS Sans Serif; one font,
// scaled to the DPI, serves every control for the program's lifetime.
HFONT__* controlFont();

// The program's pictures as bitmaps of its own resources, loaded once;
// null for none.
HBITMAP__* bitmapOf(forms::PictureId picture);

} // namespace win32layer
