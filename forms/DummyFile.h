#pragma once

#include <string>

// The local test file: "dummyfile.dum" in the program folder, nothing but
// 'X' bytes. The main window writes it and the speed test copies it; each
// composes the path for itself.
std::string dummyFilePath();
