#include "Form3.h"

using namespace forms;

const WindowDesign& Form3::design()
{
    static const WindowDesign window{
        .name = "Form3",
        .caption = "Dozozeda v1.1",
        .border = BorderStyle::FixedSingle,
        .clientWidth = 2745,
        .clientHeight = 1635,
        .controls = {
            // The notice wraps inside the label; what does not fit is cut off.
            {.kind = ControlKind::Label, .name = "Label1", .caption = "Label1", .bounds = {240, 120, 2310, 1230},
             .tabIndex = 0},
        },
    };
    return window;
}
