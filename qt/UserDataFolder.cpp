#include "UserDataFolder.h"

#include "Runtime.h"

#include <QStandardPaths>

namespace qtlayer {

void useUserDataFolderAsProgramFolderFallback()
{
    platform::setProgramFolderFallback(
        [] { return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString(); },
        DOZOZEDA_INSTALLED_FOLDER);
}

} // namespace qtlayer
