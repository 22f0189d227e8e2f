#include "Program.h"

int main(int argc, char* argv[])
{
    return cli::runProgram(std::vector<std::string>(argv + 1, argv + argc));
}
