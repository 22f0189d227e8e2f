#include "DummyFile.h"

#include "Runtime.h"

std::string dummyFilePath()
{
    return platform::ProgramFolder() + "/dummyfile.dum";
}
