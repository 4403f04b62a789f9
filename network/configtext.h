// The text forms of project settings: how numbers and truth values are written into the
// Config table and converted back, the same on every machine (C locale, no regional forms).
#pragma once

#include "core/kverror.h"

#include <QString>
#include <cstdint>

namespace ConfigText {
// Decimal digits with a minus sign for negatives.
QString FromLong(int64_t value);
// The shortest text that reads back as the same single-precision value ("0.001", "1", "-1",
// "0.0001"); exponent form only for very small or very large magnitudes ("1e-07", "1e+20").
QString FromSingle(float value);
// "True" or "False".
QString FromBoolean(bool value);

// Conversions back. Numbers may carry surrounding blanks. A fractional value goes to the
// nearest whole number, halves to the even neighbour. An empty or non-numeric text raises
// KvError 13 (type mismatch); a value outside the type's range raises 6 (overflow).
int32_t ToLong(const QString& text);
int16_t ToInteger(const QString& text);
// Read as a single-precision number first, then made a 16-bit integer (the hidden-node count
// and the jog size were once written with decimals).
int16_t ToIntegerViaSingle(const QString& text);
uint8_t ToByte(const QString& text);
float ToSingle(const QString& text);
// "True"/"False" in any case, or a number (non-zero is true).
bool ToBoolean(const QString& text);

// A setting whose stored text cannot be used, said so that the box tells what in the file is
// wrong: `error`'s number, its description, which setting (`what`: "setting LayerJCount"),
// what it reads and what it must be ("Overflow: the project's setting LayerJCount reads "-3",
// not a whole number from 0 to 32767.").
KvError BadSetting(const KvError& error, const QString& what, const QString& text, const QString& expected);
}
