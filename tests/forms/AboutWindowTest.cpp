#include "WindowTestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(AboutWindow, ShowsTheSameNoticeEveryTimeItOpens)
{
    WindowTestEnvironment env;
    const auto person = makePerson();
    Forms forms;
    forms.form1.Show();
    const std::string notice = "\r\n\r\nWritten by the Dozozeda developers.\r\n"
                               " If you like it, send a mail to: dozozeda@example.org";
    for (int opening = 0; opening < 2; ++opening) {
        person->chooseMenu(forms.form1);
        ASSERT_TRUE(person->isWindowShown(forms.form3));
        EXPECT_EQ(person->caption(forms.form3), "Dozozeda v1.1");
        EXPECT_EQ(person->clientSize(forms.form3), (Size{183, 109}));
        EXPECT_EQ(person->read(forms.form3, "Label1"), notice);

        // Asking again while it is open changes nothing.
        person->chooseMenu(forms.form1);
        EXPECT_EQ(person->read(forms.form3, "Label1"), notice);

        person->closeWindow(forms.form3);
        EXPECT_FALSE(forms.form3.Loaded());
    }
    EXPECT_FALSE(env.programEnded());
}
