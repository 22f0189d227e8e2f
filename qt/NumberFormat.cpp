#include "NumberFormat.h"

namespace qtlayer {

QString FormatNumber(double value, int decimals, const QLocale& locale)
{
    QLocale grouped = locale;
    // The "C" locale omits grouping by default; a report reads better with it.
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(value, 'f', decimals);
}

} // namespace qtlayer
