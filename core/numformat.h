// The one number formatter of the windows: the patterns "0", "0.0" ... "0.00000" (that many
// digits after the point), "0.00%" (a percentage of the "0.00" form) and "" (the general form).
// Rounds the decimal value to nearest with ties away from zero (0.125 gives "0.13"), always
// with a point, never grouping: the same text on every locale.
#pragma once

#include <QString>

namespace NumFormat {
// The number of digits after the point of a fixed pattern ("0.000" gives 3); -1 when the
// pattern is not one of the fixed forms.
int PatternDecimals(const QString& pattern);
// `value` written by `pattern`. NaN, infinities and unknown patterns give the general form.
QString Format(double value, const QString& pattern);
// `value` with `decimals` digits after the point, rounded as above.
QString FormatFixed(double value, int decimals);
// The shortest text that reads back as the same value.
QString General(double value);
}
