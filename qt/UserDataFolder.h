#pragma once

namespace qtlayer {

// Points the program folder at the user's own data folder for the program
// whenever the executable's folder cannot be written, or is the folder the
// program is installed into.
void useUserDataFolderAsProgramFolderFallback();

} // namespace qtlayer
