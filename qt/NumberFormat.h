#pragma once

#include <QLocale>
#include <QString>

namespace qtlayer {

// The value with exactly `decimals` digits after the decimal separator, with
// digit grouping and the negative form of the user's regional settings
// (the default QLocale, which is the system's unless a test sets another).
QString FormatNumber(double value, int decimals = 2, const QLocale& locale = QLocale());

} // namespace qtlayer
