#pragma once

#include <QString>

// Where the images live in the Qt resource system. Linking dozozeda_resources
// is enough to make them available; no Q_INIT_RESOURCE call is needed.
namespace dozozeda::resources {

QString idlePicture();
QString busyPicture();
QString windowIcon();

} // namespace dozozeda::resources
