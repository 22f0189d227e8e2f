#pragma once

#include <string>
#include <vector>

namespace cli {

// The whole command line program: the arguments after its name in, the
// exit status out. Ends the program itself when it was interrupted.
int runProgram(const std::vector<std::string>& args);

} // namespace cli
