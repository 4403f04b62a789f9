#include "training/chartlayout.h"

#include "core/numformat.h"
#include "core/twips.h"

#include <cmath>

ChartCell ChartCell::Null()
{
    ChartCell cell;
    cell.m_kind = Kind::Null;
    return cell;
}

std::optional<double> ChartCell::Number() const
{
    switch (m_kind) {
    case Kind::Empty: return 0.0;
    case Kind::Whole:
    case Kind::Number: return m_number;
    case Kind::Text: {
        bool ok = false;
        const double value = m_text.trimmed().toDouble(&ok);
        if (ok)
            return value;
        return std::nullopt;
    }
    case Kind::Null: break;
    }
    return std::nullopt;
}

QString ChartCell::Text() const
{
    switch (m_kind) {
    case Kind::Text: return m_text;
    case Kind::Whole:
    case Kind::Number: return NumFormat::General(m_number);
    case Kind::Empty:
    case Kind::Null: break;
    }
    return {};
}

ChartTable::ChartTable(int upperSeries, int upperPoint)
    : m_rows(std::max(0, upperSeries + 1)), m_columns(std::max(0, upperPoint + 1)),
      m_cells(size_t(m_rows) * size_t(m_columns))
{
}

const ChartCell* ChartTable::At(int row, int point) const
{
    if (row < 0 || row >= m_rows || point < 0 || point >= m_columns)
        return nullptr;
    return &(*this)(row, point);
}

ChartPainting ChartLayout::Paint(const ChartState& state, const ITextMeasure&, int width, int)
{
    ChartPainting result;
    result.highScale = state.highScale;
    result.lowScale = state.lowScale;
    result.verticalTickInterval = state.verticalTickInterval;
    result.plotRight = Twips::Round(width - 120);
    return result;
}
