// A text measure for layout tests: every character 100 twips wide, every line 240 twips high,
// so that layouts come out as exact numbers.
#pragma once

#include "training/displaylist.h"

class FixedMeasure final : public ITextMeasure {
public:
    double TextWidth(const QString& text, DisplayItem::FontRole) const override { return 100.0 * text.size(); }
    double TextHeight(const QString&, DisplayItem::FontRole) const override { return 240.0; }
};
