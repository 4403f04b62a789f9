// The one number formatter of the windows: the patterns "0", "0.0" ... "0.00000", the same
// followed by "%" (the value times 100) or by literal text such as blanks, and the empty pattern
// for the general number form. Rounding is to nearest with ties away from zero on the decimal
// value (0.125 gives "0.13"); the decimal point is always '.', so the text is safe for SQL and
// for stored values.
#pragma once

#include <QString>

#include <functional>

namespace NumFormat {
// `pattern` empty: the general form (up to 15 significant digits, no trailing zeros, an
// exponent "E+nn"/"E-nn" only for very large or small values). A pattern it does not know is
// treated as the general form.
QString Format(double value, const QString& pattern = {});
// A single-precision value by `pattern`, rounded from its own shortest decimal form (2.675f,
// stored as 2.67499995..., gives "2.68" for "0.00", as its text 2.675 does).
// A single-precision value as the double nearest its shortest decimal form (12.345f is
// 12.345), so that the formatter rounds what the user would read.
double SingleAsDecimal(float value);
QString FormatSingle(float value, const QString& pattern);
// The general form alone.
QString General(double value);
// A stored number as a person writes it: rounded to `digits` significant digits (15 for a
// double, 7 for a single-precision field), trailing zeros dropped, and no exponent from 1E-07
// up to below 1E+21 (1000000, 0.0005); beyond that the exponent form of General (1E+300).
QString Plain(double value, int digits = 15);
// `value` rounded to `decimals` places on its decimal value, ties away from zero.
double RoundDecimal(double value, int decimals);
// The pattern of that many digits after the point ("0", "0.0", ... "0.00000").
QString Pattern(int decimals);
// A number by `pattern` for a person to read: as Format, but a value other than zero that the
// pattern would round to nothing (0.1234 by "0") shows the digits it has, in the general form.
QString Shown(double value, const QString& pattern);
// The text of a number cell in a place too narrow for it: `text` itself when `fits` it, else
// the same number rounded to fewer decimals, then in the exponent form with fewer digits
// ("-2.147E+09"), else a run of '#'. Never the first digits of a longer number, which read as
// another number. A text that is no number comes back as it is.
QString FitNumber(const QString& text, const std::function<bool(const QString&)>& fits);
}
