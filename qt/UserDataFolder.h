#pragma once

namespace qtlayer {

// Points the program folder at the user's own data folder for the program
// whenever the executable's folder cannot be written (an installed copy).
void useUserDataFolderAsProgramFolderFallback();

} // namespace qtlayer
