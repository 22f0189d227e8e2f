#pragma once

#include <QApplication>

#include <memory>
#include <optional>

namespace qtlayer {

// Answers --help and --version before Qt looks for a display, so that they
// work in any terminal. Gives the exit status when one of them was asked;
// every other argument is left to Qt, as before.
std::optional<int> answerInformationOptions(int argc, char* argv[]);

// The application, opened on this session's display. Where no window can be
// shown (no graphical session, or its display refuses the connection), the
// program says so in one line and ends with status 1, instead of printing
// Qt's platform-plugin report and aborting. What Qt says while it opens a
// display that works is passed on as it would have been.
std::unique_ptr<QApplication> openApplication(int& argc, char* argv[]);

} // namespace qtlayer
