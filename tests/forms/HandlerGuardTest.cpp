#include "HandlerGuard.h"
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

// An error that no handler dealt with reaches the person and ends the
// program; it never reaches the toolkit's event loop.
TEST(HandlerGuard, ShowsAnUnhandledErrorAndEndsTheProgram)
{
    std::vector<forms::MessageBoxCall> boxes;
    std::optional<int> ended;
    const auto previous = forms::setMessageBoxHandler([&](const forms::MessageBoxCall& box) { boxes.push_back(box); });
    forms::setEndProgramHandler([&](int status) { ended = status; });

    forms::runGuarded([] { throw std::runtime_error("Cannot delete '/x/dummyfile.dum': Permission denied"); });

    forms::setMessageBoxHandler(previous);
    forms::setEndProgramHandler(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, "Cannot delete '/x/dummyfile.dum': Permission denied");
    EXPECT_EQ(boxes[0].style, forms::vbCritical);
    EXPECT_EQ(ended, std::optional<int>(1));
}
