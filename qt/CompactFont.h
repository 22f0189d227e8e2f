#pragma once

namespace qtlayer {

// The windows are laid out in fixed positions made for a classic look: an
// 8-point sans-serif face (11 pixels at 96 dpi) and compact controls.
// Desktop defaults (DejaVu Sans 10, the Fusion style) clip "Create dummyfile"
// and the option captions.
void useCompactFont();

} // namespace qtlayer
