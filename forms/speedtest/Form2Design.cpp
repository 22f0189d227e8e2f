#include "Form2.h"

using namespace forms;

// The speed-test window: the target folder across the top, then the button,
// the status picture and the report side by side. The two pictures the status
// display switches between are held below the client area, out of sight.
const WindowDesign& Form2::design()
{
    static const WindowDesign window{
        .name = "Form2",
        .caption = "Dozozeda",
        .border = BorderStyle::FixedSingle,
        .clientWidth = 5700,
        .clientHeight = 3375,
        .controls = {
            {.kind = ControlKind::TextBox, .name = "Text2", .bounds = {1710, 600, 3885, 2655}, .tabIndex = 2,
             .multiLine = true, .background = SystemColour::InactiveCaption,
             .foreground = SystemColour::WindowBackground, .accessibleName = "Report"},
            {.kind = ControlKind::TextBox, .name = "Text1", .bounds = {120, 240, 5475, 285}, .tabIndex = 1,
             .accessibleName = "Target network share path"},
            {.kind = ControlKind::CommandButton, .name = "Command1", .caption = "Check speed",
             .bounds = {120, 600, 1335, 375}, .tabIndex = 0},
            {.kind = ControlKind::Image, .name = "Image3", .bounds = {1560, 600, 135, 2625},
             .accessibleName = "Status: green when idle, red while copying"},
            {.kind = ControlKind::Image, .name = "Image2", .bounds = {255, 3930, 105, 2610},
             .picture = PictureId::Busy, .accessibleName = "Busy picture"},
            {.kind = ControlKind::Image, .name = "Image1", .bounds = {120, 3930, 105, 2610},
             .picture = PictureId::Idle, .accessibleName = "Idle picture"},
            {.kind = ControlKind::Label, .name = "Label1", .caption = "Enter the taget network share path.",
             .bounds = {120, 0, 5175, 255}, .tabIndex = 3},
        },
    };
    return window;
}
