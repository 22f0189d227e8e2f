#include "Win32WindowingLayer.h"

#include <gtest/gtest.h>

// The window tests on the Win32 layer: the real controls of this process,
// worked through their messages on this thread.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    win32layer::Win32WindowingLayer layer;
    forms::useWindowingLayer(&layer);
    const int status = RUN_ALL_TESTS();
    forms::useWindowingLayer(nullptr);
    return status;
}
