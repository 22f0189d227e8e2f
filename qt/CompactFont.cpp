#include "CompactFont.h"

#include <QApplication>
#include <QFont>

namespace qtlayer {

void useCompactFont()
{
    // Liberation Sans has the metrics of the faces the layout was made for;
    // where it is missing, the default family at the same size still fits
    // all but the widest caption.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans"), font.family()});
    font.setPixelSize(11);
    QApplication::setFont(font);
    // The classic style draws group-box captions on the frame line and uses
    // 12-pixel option indicators, which the 13-pixel option rows need.
    QApplication::setStyle(QStringLiteral("Windows"));
}

} // namespace qtlayer
