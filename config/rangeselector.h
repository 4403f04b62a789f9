// userDataSelect: the row-range selector, a vertical bar with two arrow handles and a number
// box beside each, in one of two mirrored layouts. The rules live in CRangeSelectorModel; this
// widget paints it, turns the mouse into twips for it and runs the two number boxes.
#pragma once

#include "config/rangeselectormodel.h"

#include <QWidget>

class QLineEdit;

class userDataSelect : public QWidget {
    Q_OBJECT
public:
    // Width that holds either layout, in twips.
    static constexpr int WidthTwips = 1650;

    // A control as it is placed: the model's starting values; the host sets the rest.
    explicit userDataSelect(QWidget* parent = nullptr);

    int32_t MaxDataSelect() const { return mModel.MaxDataSelect(); }
    void SetMaxDataSelect(int32_t value);
    int32_t HorzPos() const { return mModel.HorzPos(); }
    void SetHorzPos(int32_t value);
    int32_t Min() const { return mModel.Min(); }
    void SetMin(int32_t value);
    int32_t Max() const { return mModel.Max(); }
    void SetMax(int32_t value);
    int32_t ValueHigh() const { return mModel.ValueHigh(); }
    void SetValueHigh(int32_t value);
    int32_t ValueLow() const { return mModel.ValueLow(); }
    void SetValueLow(int32_t value);
    uint32_t BackColor() const { return mModel.BackColor(); }
    void SetBackColor(uint32_t value);
    uint32_t FillColor() const { return mModel.FillColor(); }
    void SetFillColor(uint32_t value);
    uint32_t ForeColor() const { return mModel.ForeColor(); }
    void SetForeColor(uint32_t value);
    // The Enabled property: greys the labels and the fill and refuses all input when false.
    bool Enabled() const { return mModel.Enabled(); }
    void SetEnabled(bool value);

    const CRangeSelectorModel& Model() const { return mModel; }
    // The number boxes of the low and the high end.
    QLineEdit* LowBox() const { return mLowBox; }
    QLineEdit* HighBox() const { return mHighBox; }
    // Colours as painted now (the grey-text colour while disabled).
    QColor LabelColor() const;
    QColor FillPaintColor() const;

    QSize sizeHint() const override;

signals:
    void Change();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The boxes and the picture follow the model.
    void sync();
    // A point of the widget in twips of the overlay of the current layout; false outside it.
    bool overlayPoint(const QPointF& pos, QPointF& out) const;
    void commitBox(QLineEdit* box);
    QLineEdit* openBoxEdit() const;

    CRangeSelectorModel mModel;
    QLineEdit* mLowBox = nullptr;
    QLineEdit* mHighBox = nullptr;
    bool mPressedOnOverlay = false;
    bool mReleaseEndsDoubleClick = false;
    bool mSyncing = false;
};
