#include "DummyFile.h"

#include "Runtime.h"

platform::ResolvedPath dummyFilePath()
{
    return platform::ResolvedPath::fromSystem(platform::ProgramFolder()).child("dummyfile.dum");
}
