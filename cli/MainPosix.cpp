#include "ArgumentPasswords.h"
#include "Program.h"

int main(int argc, char* argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    cli::hideArgumentPasswords(argc, argv);
    return cli::runProgram(args);
}
