// What the engine's result codes mean to the person using the program: the words for a code,
// the box of a refused call, and a failing result as DLLError keeps it.
#pragma once

#include <QString>
#include <cstdint>

// What an engine result code means, in words ("" for a code without a meaning of its own).
QString EngineFailureWords(int32_t code);
// The critical box of a refused engine call: text + code, titled `title`.
void EngineBox(const QString& text, int32_t code, const QString& title);
// A failing engine result as a negative 16-bit code.
int16_t FailureCode(int32_t result);
