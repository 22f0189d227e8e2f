#include "UserDataFolder.h"

#include "Runtime.h"

#include <QStandardPaths>

namespace platform {

void useUserDataFolderAsProgramFolderFallback()
{
    setProgramFolderFallback([] {
        return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString();
    });
}

} // namespace platform
