#pragma once

#include "ResolvedPath.h"

// The local test file: "dummyfile.dum" in the program folder, nothing but
// 'X' bytes. The main window writes it and the speed test copies it; each
// composes the path for itself, from the folder the system reports, which
// is never read as a share address.
platform::ResolvedPath dummyFilePath();
