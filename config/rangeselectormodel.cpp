#include "config/rangeselectormodel.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

// The whole number nearest to x, halves to the even neighbour. False when x is no number or
// lies outside the 32-bit range: the step that needed it is then skipped.
bool nearest(double x, int32_t& out)
{
    if (!std::isfinite(x))
        return false;
    const double r = std::nearbyint(x);
    if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
        return false;
    out = int32_t(r);
    return true;
}

// A 64-bit result stored into a 32-bit field, skipped when it does not fit.
bool fits(int64_t value, int32_t& out)
{
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return false;
    out = int32_t(value);
    return true;
}

// A number box's text as a 32-bit number; empty or not a number reads as 0. A whole number
// too large for 32 bits reads as `max` (`min` when negative): the user asked for the end.
int32_t readNumber(const QString& text, int32_t min = 0, int32_t max = 0)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    int32_t out = 0;
    if (ok && fits(v, out))
        return out;
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    if (!whole.match(t).hasMatch())
        return 0;
    return t.startsWith(QLatin1Char('-')) ? min : max;
}

int64_t span(int32_t low, int32_t high)
{
    return int64_t(high) - int64_t(low) + 1;
}

} // namespace

CRangeSelectorModel::CRangeSelectorModel()
{
    Layout& one = mLayouts[0];
    one.boxLeft = 180;
    one.arrowLeft = 1140;
    one.barLeft = 1380;
    one.labelLeft = 880;
    one.overlayLeft = 60;
    Layout& two = mLayouts[1];
    two.barLeft = 0;
    two.arrowLeft = 240;
    two.boxLeft = 600;
    two.labelLeft = 0;
    two.overlayLeft = 240;
    mLowText = QString::number(mValueLow);
    mHighText = QString::number(mValueHigh);
    redrawLayout(mLayouts[0]);
    redrawLayout(mLayouts[1]);
}

void CRangeSelectorModel::raiseChange()
{
    if (onChange)
        onChange();
}

// --- Setters ------------------------------------------------------------------------------

void CRangeSelectorModel::SetMaxDataSelect(int32_t value)
{
    mMaxDataSelect = value;
    if (value >= 1 && span(mValueLow, mValueHigh) > value) {
        if (!fits(int64_t(mValueLow) + value - 1, mValueHigh))
            return;
        raiseChange();
        Redraw();
    }
}

void CRangeSelectorModel::SetHorzPos(int32_t value)
{
    mHorzPos = value;
    if (value == 1 || value == 2)
        mShown = value;
    Redraw();
}

void CRangeSelectorModel::SetMin(int32_t value)
{
    if (value > mMax)
        return;
    mMin = value;
    if (mValueHigh < value) {
        mValueHigh = value;
        raiseChange();
    }
    if (mValueLow < value) {
        mValueLow = value;
        raiseChange();
    }
    Redraw();
}

void CRangeSelectorModel::SetMax(int32_t value)
{
    if (value < mMin)
        return;
    mMax = value;
    if (mValueLow > value) {
        mValueLow = value;
        raiseChange();
    }
    if (mValueHigh > value) {
        mValueHigh = value;
        raiseChange();
    }
    Redraw();
}

void CRangeSelectorModel::SetValueHigh(int32_t value)
{
    if (value < mValueLow)
        return;
    mValueHigh = value;
    mHighText = QString::number(value);
    raiseChange();
    Redraw();
}

void CRangeSelectorModel::SetValueLow(int32_t value)
{
    if (value > mValueHigh)
        return;
    mValueLow = value;
    mLowText = QString::number(value);
    raiseChange();
    Redraw();
}

void CRangeSelectorModel::SetBackColor(uint32_t value)
{
    if (IsRGBColor(value))
        mBackColor = value;
}

void CRangeSelectorModel::SetFillColor(uint32_t value)
{
    if (IsRGBColor(value))
        mFillColor = value;
}

void CRangeSelectorModel::SetForeColor(uint32_t value)
{
    if (IsRGBColor(value))
        mForeColor = value;
}

// --- Drawing ------------------------------------------------------------------------------

void CRangeSelectorModel::Redraw()
{
    if (mHorzPos == 1 || mHorzPos == 2)
        redrawLayout(current());
}

void CRangeSelectorModel::redrawLayout(Layout& l)
{
    const auto fraction = [this](int32_t value) {
        if (value == mMin)
            return 0.0;
        if (mMax == mMin)
            return 1.0;
        return (double(value) - double(mMin)) / (double(mMax) - double(mMin));
    };
    int32_t lowOffset = l.fillTop;
    int32_t highOffset = l.fillTop + l.fillHeight;
    nearest(double(l.barHeight) * fraction(mValueLow), lowOffset);
    nearest(double(l.barHeight) * fraction(mValueHigh), highOffset);
    int32_t lowArrow = l.topArrowTop;
    int32_t highArrow = l.bottomArrowTop;
    nearest(double(l.barTop) + (double(lowOffset) - mHalfArrow), lowArrow);
    nearest(double(l.barTop) + (double(highOffset) - mHalfArrow), highArrow);

    l.topArrowTop = lowArrow;
    l.fillTop = lowOffset;
    l.bottomArrowTop = highArrow;
    fits(int64_t(highOffset) - lowOffset, l.fillHeight);

    // Arrows closer than one arrow height: the boxes move apart and stay inside the panel.
    if (int64_t(lowArrow) > int64_t(highArrow) - 2 * mHalfArrow) {
        if (int64_t(lowArrow) - mHalfArrow < 0) {
            l.lowBoxTop = 0;
            l.highBoxTop = BoxHeight;
        } else if (int64_t(highArrow) + mHalfArrow + BoxHeight > mPanelHeight) {
            l.lowBoxTop = mPanelHeight - 2 * BoxHeight;
            l.highBoxTop = l.lowBoxTop + BoxHeight;
        } else {
            l.lowBoxTop = lowArrow - mHalfArrow;
            l.highBoxTop = highArrow + mHalfArrow;
        }
    } else {
        l.lowBoxTop = lowArrow;
        l.highBoxTop = highArrow;
    }
    mHighText = QString::number(mValueHigh);
    mLowText = QString::number(mValueLow);
}

void CRangeSelectorModel::Resize(int32_t panelHeight)
{
    int32_t half = mHalfArrow;
    if (nearest(ArrowSize / 2.0, half))
        mHalfArrow = int16_t(half);
    mPanelHeight = panelHeight;
    mLowText = QString::number(mValueLow);
    mHighText = QString::number(mValueHigh);
    Redraw();
}

// --- Mouse --------------------------------------------------------------------------------

void CRangeSelectorModel::Press(double x, double y)
{
    const Layout& l = current();
    const double px = x + l.overlayLeft;
    const double py = y + OverlayTop;
    const bool numberColumn = mShown == 1 ? !(px >= double(l.arrowLeft) + l.overlayLeft) : px >= l.boxLeft;
    const int32_t lowTop = numberColumn ? l.lowBoxTop : l.topArrowTop;
    const int32_t highTop = numberColumn ? l.highBoxTop : l.bottomArrowTop;
    const int32_t height = numberColumn ? BoxHeight : ArrowSize;
    const auto inside = [py, height](int32_t top) { return top <= py && py <= double(top) + height; };
    if (inside(lowTop)) {
        if (nearest(py - lowTop, mGrabOffset))
            mDragHandle = LowHandle;
    } else if (inside(highTop)) {
        if (nearest(py - highTop, mGrabOffset))
            mDragHandle = HighHandle;
    }
}

void CRangeSelectorModel::Move(double y)
{
    if (mDragHandle != LowHandle && mDragHandle != HighHandle)
        return;
    int32_t pointer = 0;
    if (!nearest(OverlayTop + y, pointer))
        return;
    int32_t t = 0;
    if (!fits(int64_t(pointer) - mGrabOffset, t))
        return;
    const double tip = double(t) + mHalfArrow;
    Layout& l = current();
    if (mDragHandle == LowHandle)
        dragLow(l, t, tip);
    else
        dragHigh(l, t, tip);
}

void CRangeSelectorModel::dragLow(Layout& l, int32_t t, double tip)
{
    if (l.barTop >= tip)
        nearest(double(l.barTop) - mHalfArrow, t);
    else if (double(l.bottomArrowTop) + mHalfArrow < tip)
        nearest(double(l.bottomArrowTop) - 1, t);
    if (l.topArrowTop == t)
        return;
    l.topArrowTop = t;
    fits(int64_t(t) + mHalfArrow - l.barTop, l.fillTop);
    fits(int64_t(l.bottomArrowTop) - t, l.fillHeight);

    int32_t v = mValueLow;
    if (l.barHeight != 0)
        nearest((tip - l.barTop) / l.barHeight * (double(mMax) - mMin) + mMin, v);
    if (v < mMin)
        v = mMin;
    else if (v > mMax)
        v = mMax;
    if (v > mValueHigh)
        v = mValueHigh;
    mValueLow = v;
    if (mMaxDataSelect >= 1 && span(mValueLow, mValueHigh) > mMaxDataSelect) {
        fits(int64_t(mValueLow) + mMaxDataSelect - 1, mValueHigh);
        redrawLayout(l);
    }
    mLowText = QString::number(mValueLow);
    if (int64_t(t) + BoxHeight <= l.highBoxTop)
        l.lowBoxTop = t;
    raiseChange();
}

void CRangeSelectorModel::dragHigh(Layout& l, int32_t t, double tip)
{
    if (double(l.barTop) + l.barHeight <= tip)
        nearest(double(l.barTop) + l.barHeight - mHalfArrow, t);
    else if (double(l.topArrowTop) + mHalfArrow > tip)
        t = l.topArrowTop;
    if (l.bottomArrowTop == t)
        return;
    l.bottomArrowTop = t;
    fits(int64_t(t) - l.topArrowTop, l.fillHeight);

    int32_t v = mValueHigh;
    if (l.barHeight != 0)
        nearest((tip - l.barTop) * (double(mMax) - mMin) / l.barHeight + mMin, v);
    if (v < mMin)
        v = mMin;
    else if (v > mMax)
        v = mMax;
    if (v < mValueLow)
        v = mValueLow;
    mValueHigh = v;
    if (mMaxDataSelect >= 1 && span(mValueLow, mValueHigh) > mMaxDataSelect) {
        fits(int64_t(mValueHigh) - mMaxDataSelect + 1, mValueLow);
        redrawLayout(l);
    }
    mHighText = QString::number(mValueHigh);
    if (int64_t(l.lowBoxTop) + BoxHeight <= t)
        l.highBoxTop = t + 1;
    raiseChange();
}

void CRangeSelectorModel::Release()
{
    mLastHandle = mDragHandle;
    mDragHandle = NoHandle;
}

void CRangeSelectorModel::Click()
{
    if (mLastHandle == NoHandle)
        mOpenBox = NoHandle;
}

void CRangeSelectorModel::DoubleClick()
{
    if (mLastHandle == LowHandle)
        mOpenBox = LowHandle;
    else if (mLastHandle == HighHandle)
        mOpenBox = HighHandle;
}

// --- Typed numbers ------------------------------------------------------------------------

void CRangeSelectorModel::CommitLow(const QString& text)
{
    int32_t v = readNumber(text, mMin, mMax);
    if (v == mValueLow) {
        mOpenBox = NoHandle;
        return;
    }
    if (readNumber(mHighText) < v) {
        if (v > mMax)
            v = mMax;
        mHighText = QString::number(v);
        mValueHigh = v;
    } else if (v < mMin) {
        v = mMin;
    }
    mLowText = QString::number(v);
    mValueLow = v;
    if (mMaxDataSelect >= 1 && span(mValueLow, mValueHigh) > mMaxDataSelect)
        fits(int64_t(mValueLow) + mMaxDataSelect - 1, mValueHigh);
    redrawLayout(current());
    mOpenBox = NoHandle;
    raiseChange();
}

void CRangeSelectorModel::CommitHigh(const QString& text)
{
    int32_t v = readNumber(text, mMin, mMax);
    if (v == mValueHigh) {
        mOpenBox = NoHandle;
        return;
    }
    if (v < readNumber(mLowText)) {
        if (v < mMin)
            v = mMin;
        mLowText = QString::number(v);
        mValueLow = v;
    } else if (v > mMax) {
        v = mMax;
    }
    mHighText = QString::number(v);
    mValueHigh = v;
    if (mMaxDataSelect >= 1 && span(mValueLow, mValueHigh) > mMaxDataSelect)
        fits(int64_t(mValueHigh) - mMaxDataSelect + 1, mValueLow);
    redrawLayout(current());
    mOpenBox = NoHandle;
    raiseChange();
}
