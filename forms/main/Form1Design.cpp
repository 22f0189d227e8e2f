#include "Form1.h"

using namespace forms;

// The main window: a borderless window with a menu bar and the size options
// in a frame, laid out for an 8-point sans-serif face.
const WindowDesign& Form1::design()
{
    static const WindowDesign window{
        .name = "Form1",
        .caption = "Dozozeda",
        .border = BorderStyle::None,
        .clientWidth = 3135,
        .clientHeight = 3390,
        .controls = {
            {.kind = ControlKind::Frame, .name = "Frame1", .caption = "Size of dummyfile",
             .bounds = {120, 120, 2895, 3135}, .tabIndex = 0},
            {.kind = ControlKind::CommandButton, .name = "Command2", .container = "Frame1", .caption = "Test Network",
             .bounds = {1245, 1560, 1455, 375}, .tabIndex = 13, .visible = false},
            {.kind = ControlKind::CommandButton, .name = "Command1", .container = "Frame1", .caption = "Create dummyfile",
             .bounds = {1245, 840, 1455, 375}, .tabIndex = 12},
            {.kind = ControlKind::ProgressBar, .name = "ProgressBar1", .container = "Frame1",
             .bounds = {0, 2865, 2895, 255}, .tabIndex = 11, .accessibleName = "Progress of writing the dummy file"},
            {.kind = ControlKind::OptionButton, .name = "Option10", .container = "Frame1", .caption = "100 MB",
             .bounds = {120, 2640, 1575, 195}, .tabIndex = 10},
            {.kind = ControlKind::OptionButton, .name = "Option9", .container = "Frame1", .caption = "90  MB",
             .bounds = {120, 2340, 975, 270}, .tabIndex = 9},
            {.kind = ControlKind::OptionButton, .name = "Option8", .container = "Frame1", .caption = "80  MB",
             .bounds = {120, 2115, 1005, 210}, .tabIndex = 8},
            {.kind = ControlKind::OptionButton, .name = "Option7", .container = "Frame1", .caption = "70  MB",
             .bounds = {120, 1845, 1590, 195}, .tabIndex = 7},
            {.kind = ControlKind::OptionButton, .name = "Option6", .container = "Frame1", .caption = "60  MB",
             .bounds = {120, 1575, 1215, 195}, .tabIndex = 6},
            {.kind = ControlKind::OptionButton, .name = "Option5", .container = "Frame1", .caption = "50  MB",
             .bounds = {120, 1290, 1215, 255}, .tabIndex = 5},
            {.kind = ControlKind::OptionButton, .name = "Option4", .container = "Frame1", .caption = "40  MB",
             .bounds = {120, 1020, 1335, 255}, .tabIndex = 4},
            {.kind = ControlKind::OptionButton, .name = "Option3", .container = "Frame1", .caption = "30  MB",
             .bounds = {120, 735, 1335, 255}, .tabIndex = 3},
            {.kind = ControlKind::OptionButton, .name = "Option2", .container = "Frame1", .caption = "20  MB",
             .bounds = {120, 480, 1095, 255}, .tabIndex = 2},
            {.kind = ControlKind::OptionButton, .name = "Option1", .container = "Frame1", .caption = "10  MB",
             .bounds = {120, 210, 960, 255}, .tabIndex = 1},
            {.kind = ControlKind::MenuItem, .name = "Info", .caption = "About"},
        },
    };
    return window;
}
