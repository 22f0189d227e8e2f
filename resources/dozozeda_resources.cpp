#include "dozozeda_resources.h"

namespace dozozeda::resources {

QString idlePicture()
{
    return QStringLiteral(":/idle.bmp");
}

QString busyPicture()
{
    return QStringLiteral(":/busy.bmp");
}

QString windowIcon()
{
    return QStringLiteral(":/dozozeda.png");
}

} // namespace dozozeda::resources
