#pragma once

#include <string_view>

namespace cli {

// Standard output and standard error, UTF-8 text in and out. On Windows a
// real console is written in UTF-16, so that any name shows as it is;
// files and pipes get UTF-8.

// Throws platform::Error when the text cannot be written (a closed pipe, a
// full disk): a result that did not arrive must not end in success.
void writeOut(std::string_view text);
void writeErr(std::string_view text) noexcept;

// Whether standard error is a terminal (on Windows: a real console, not
// NUL or a file), the only place progress is drawn.
bool errorIsTerminal();

} // namespace cli
