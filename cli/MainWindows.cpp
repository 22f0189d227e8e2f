#include "Program.h"
#include "Utf16.h"

#include <cwchar>

// wmain: the arguments arrive as the user typed them, whatever the console's
// code page.
int wmain(int argc, wchar_t* argv[])
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(platform::narrow(argv[i], std::wcslen(argv[i])));
    return cli::runProgram(args);
}
