// The rules of the row-range selector (userDataSelect) without a widget: its properties and
// their setters, the places of its elements in twips for both layouts, and what a press, a
// drag, a release, a click, a double-click and a committed number do. The widget converts
// pixels to twips, paints what this class says and forwards the user's actions to it.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class CRangeSelectorModel {
public:
    // Handles (mDragHandle, mLastHandle) and the open number box.
    enum Handle : int32_t { NoHandle = 0, LowHandle = 1, HighHandle = 2 };

    // Fixed sizes of the elements, in twips.
    static constexpr int32_t PanelHeightDesigned = 3015;
    static constexpr int32_t BarTop = 240;
    static constexpr int32_t BarWidth = 255;
    static constexpr int32_t BarHeight = 2415;
    static constexpr int32_t ArrowSize = 240;
    static constexpr int32_t BoxWidth = 855;
    static constexpr int32_t BoxHeight = 285;
    static constexpr int32_t LabelWidth = 720;
    static constexpr int32_t LabelHeight = 195;
    static constexpr int32_t MinLabelTop = 0;
    static constexpr int32_t MaxLabelTop = 2760;
    static constexpr int32_t OverlayTop = 0;
    static constexpr int32_t OverlayWidth = 1335;
    static constexpr int32_t OverlayHeight = 3015;

    // The elements of one layout in panel coordinates. The left edges are fixed per layout;
    // the tops of the arrows and boxes and the fill move with the values.
    struct Layout {
        int32_t barLeft = 0;
        int32_t arrowLeft = 0;
        int32_t boxLeft = 0;
        int32_t labelLeft = 0;
        int32_t overlayLeft = 0;
        int32_t barTop = BarTop;
        int32_t barHeight = BarHeight;
        int32_t topArrowTop = 0;    // arrow of the low handle
        int32_t bottomArrowTop = 0; // arrow of the high handle
        int32_t fillTop = 0;        // inside the bar
        int32_t fillHeight = 0;
        int32_t lowBoxTop = 0;
        int32_t highBoxTop = 0;
    };

    // A new control: the values a control gets when it is placed (layout 1, 1..1000, range
    // 200..800, button-face background, blue fill and text, enabled, no span limit).
    CRangeSelectorModel();

    // Raised after every change of the range.
    std::function<void()> onChange;

    // --- Properties ---------------------------------------------------------------------
    int32_t MaxDataSelect() const { return mMaxDataSelect; }
    void SetMaxDataSelect(int32_t value);
    int32_t HorzPos() const { return mHorzPos; }
    void SetHorzPos(int32_t value);
    int32_t Min() const { return mMin; }
    void SetMin(int32_t value);
    int32_t Max() const { return mMax; }
    void SetMax(int32_t value);
    int32_t ValueHigh() const { return mValueHigh; }
    void SetValueHigh(int32_t value);
    int32_t ValueLow() const { return mValueLow; }
    void SetValueLow(int32_t value);
    uint32_t BackColor() const { return mBackColor; }
    void SetBackColor(uint32_t value);
    uint32_t FillColor() const { return mFillColor; }
    void SetFillColor(uint32_t value);
    uint32_t ForeColor() const { return mForeColor; }
    void SetForeColor(uint32_t value);
    bool Enabled() const { return mEnabled; }
    void SetEnabled(bool value) { mEnabled = value; }

    // A plain RGB value (below 0x1000000); system colours and the rest are refused.
    static bool IsRGBColor(uint32_t color) { return color < 0x1000000u; }

    // --- What the widget shows -----------------------------------------------------------
    // Layout 1 or 2; anything else reads as layout 2's elements.
    const Layout& LayoutOf(int32_t horzPos) const { return mLayouts[horzPos == 1 ? 0 : 1]; }
    // The layout on screen: the last HorzPos of 1 or 2 (another value changes nothing).
    int32_t ShownLayout() const { return mShown; }
    const Layout& Current() const { return LayoutOf(mShown); }
    // Texts of the number boxes (shared by both layouts) and of the labels.
    const QString& LowText() const { return mLowText; }
    const QString& HighText() const { return mHighText; }
    QString MinText() const { return QString::number(mMin); }
    QString MaxText() const { return QString::number(mMax); }
    // The box open for typing (LowHandle or HighHandle), or NoHandle.
    Handle OpenBox() const { return mOpenBox; }
    int32_t PanelHeight() const { return mPanelHeight; }

    // --- Private state, readable for the widget and tests --------------------------------
    int32_t DragHandle() const { return mDragHandle; }
    int32_t LastHandle() const { return mLastHandle; }
    int32_t GrabOffset() const { return mGrabOffset; }
    int32_t HalfArrow() const { return mHalfArrow; }

    // --- Actions -------------------------------------------------------------------------
    // The control took its size: the panels become `panelHeight` high, the boxes and labels
    // show the values and the current layout is drawn again.
    void Resize(int32_t panelHeight);
    // Left button pressed / moved with the left button down, at a point of the overlay
    // (twips, relative to the overlay's top left corner).
    void Press(double x, double y);
    void Move(double y);
    // Left button released; a click (after a release that did not end a double-click); a
    // double-click, which opens the box of the handle released last.
    void Release();
    void Click();
    void DoubleClick();
    // The open box lost the focus or took Enter or Escape with this text.
    void CommitLow(const QString& text);
    void CommitHigh(const QString& text);
    // The layout HorzPos names drawn again from the values (none for another value).
    void Redraw();

private:
    Layout& current() { return mLayouts[mShown == 1 ? 0 : 1]; }
    void redrawLayout(Layout& l);
    void raiseChange();
    void dragLow(Layout& l, int32_t t, double tip);
    void dragHigh(Layout& l, int32_t t, double tip);

    int32_t mMaxDataSelect = 0;
    int32_t mHorzPos = 1;
    int32_t mShown = 1;
    int32_t mMin = 1;
    int32_t mMax = 1000;
    int32_t mValueHigh = 800;
    int32_t mValueLow = 200;
    uint32_t mBackColor = 0x8000000F;
    uint32_t mFillColor = 0xFF0000;
    uint32_t mForeColor = 0xFF0000;
    bool mEnabled = true;

    int32_t mDragHandle = NoHandle;
    int32_t mLastHandle = NoHandle;
    int32_t mGrabOffset = 0;
    int16_t mHalfArrow = ArrowSize / 2;

    int32_t mPanelHeight = PanelHeightDesigned;
    std::array<Layout, 2> mLayouts;
    QString mLowText;
    QString mHighText;
    Handle mOpenBox = NoHandle;
};
