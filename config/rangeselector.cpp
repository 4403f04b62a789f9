#include "config/rangeselector.h"

#include "core/twips.h"
#include "core/widgets/winhelpers.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>

namespace {

using Model = CRangeSelectorModel;

// The system's grey-text colour, for the labels and the fill of a disabled control.
constexpr uint32_t GrayText = 0x80000011;

// A designed place in twips as a pixel rectangle, fractions kept.
QRectF pxRect(double left, double top, double width, double height)
{
    return {Twips::ToPixels(left), Twips::ToPixels(top), Twips::ToPixels(width), Twips::ToPixels(height)};
}

QLineEdit* makeBox(QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    // Digits only, typed or pasted; Backspace still works.
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFrame(true);
    box->setTextMargins(0, 0, 0, 0);
    // The overlay takes every press over the boxes; the boxes only take typing.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A closed box is display only: black on white rather than the disabled grey.
    QPalette p = box->palette();
    p.setColor(QPalette::Disabled, QPalette::Text, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Base, Qt::white);
    box->setPalette(p);
    QFont f = box->font();
    f.setPointSizeF(8);
    box->setFont(f);
    box->setEnabled(false);
    return box;
}

} // namespace

userDataSelect::userDataSelect(QWidget* parent) : QWidget(parent)
{
    mLowBox = makeBox(this);
    mHighBox = makeBox(this);
    mLowBox->setObjectName(QStringLiteral("txtTopNum"));
    mHighBox->setObjectName(QStringLiteral("txtBottomNum"));
    mLowBox->installEventFilter(this);
    mHighBox->installEventFilter(this);
    mModel.onChange = [this] { emit Change(); };
    resize(sizeHint());
    mModel.Resize(Twips::FromPixels(height()));
    sync();
}

QSize userDataSelect::sizeHint() const
{
    return {Twips::ToWholePixels(WidthTwips), Twips::ToWholePixels(Model::PanelHeightDesigned)};
}

// --- Properties ---------------------------------------------------------------------------

void userDataSelect::SetMaxDataSelect(int32_t value)
{
    mModel.SetMaxDataSelect(value);
    sync();
}

void userDataSelect::SetHorzPos(int32_t value)
{
    mModel.SetHorzPos(value);
    sync();
}

void userDataSelect::SetMin(int32_t value)
{
    mModel.SetMin(value);
    sync();
}

void userDataSelect::SetMax(int32_t value)
{
    mModel.SetMax(value);
    sync();
}

void userDataSelect::SetValueHigh(int32_t value)
{
    mModel.SetValueHigh(value);
    sync();
}

void userDataSelect::SetValueLow(int32_t value)
{
    mModel.SetValueLow(value);
    sync();
}

void userDataSelect::SetBackColor(uint32_t value)
{
    mModel.SetBackColor(value);
    update();
}

void userDataSelect::SetFillColor(uint32_t value)
{
    mModel.SetFillColor(value);
    update();
}

void userDataSelect::SetForeColor(uint32_t value)
{
    mModel.SetForeColor(value);
    update();
}

void userDataSelect::SetEnabled(bool value)
{
    mModel.SetEnabled(value);
    setEnabled(value);
    update();
}

QColor userDataSelect::LabelColor() const
{
    return Utilities::ColorFromBgr(mModel.Enabled() ? mModel.ForeColor() : GrayText);
}

QColor userDataSelect::FillPaintColor() const
{
    return Utilities::ColorFromBgr(mModel.Enabled() ? mModel.FillColor() : GrayText);
}

// --- Showing ------------------------------------------------------------------------------

QLineEdit* userDataSelect::openBoxEdit() const
{
    switch (mModel.OpenBox()) {
    case Model::LowHandle:
        return mLowBox;
    case Model::HighHandle:
        return mHighBox;
    default:
        return nullptr;
    }
}

void userDataSelect::sync()
{
    mSyncing = true;
    const Model::Layout& l = mModel.Current();
    QLineEdit* open = openBoxEdit();
    for (QLineEdit* box : {mLowBox, mHighBox}) {
        const bool low = box == mLowBox;
        box->setGeometry(pxRect(l.boxLeft, low ? l.lowBoxTop : l.highBoxTop, Model::BoxWidth, Model::BoxHeight)
                             .toRect());
        if (box != open) {
            box->setText(low ? mModel.LowText() : mModel.HighText());
            box->setEnabled(false);
        }
    }
    mSyncing = false;
    update();
}

void userDataSelect::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const Model::Layout& l = mModel.Current();
    p.fillRect(rect(), Utilities::ColorFromBgr(mModel.BackColor()));

    // The bar: a sunken white slot with the fill between the handles.
    const QRectF bar = pxRect(l.barLeft, l.barTop, Model::BarWidth, l.barHeight);
    p.fillRect(bar, Qt::white);
    p.fillRect(pxRect(l.barLeft, double(l.barTop) + l.fillTop, Model::BarWidth, l.fillHeight), FillPaintColor());
    p.setPen(QPen(QColor(96, 96, 96), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar.adjusted(0.5, 0.5, -0.5, -0.5));

    // The arrows point at the bar: from the right in layout 2, from the left in layout 1.
    const bool fromLeft = mModel.ShownLayout() == 1;
    const auto arrow = [&](int32_t top) {
        const QRectF r = pxRect(l.arrowLeft, top, Model::ArrowSize, Model::ArrowSize);
        QPainterPath path;
        const double tipX = fromLeft ? r.right() : r.left();
        const double backX = fromLeft ? r.left() : r.right();
        path.moveTo(tipX, r.center().y());
        path.lineTo(backX, r.top() + 1);
        path.lineTo(backX, r.bottom() - 1);
        path.closeSubpath();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(mModel.Enabled() ? QColor(255, 255, 0) : QColor(192, 192, 192));
        p.drawPath(path);
    };
    arrow(l.topArrowTop);
    arrow(l.bottomArrowTop);

    // The labels of Min (top) and Max (bottom).
    QFont f = font();
    f.setPointSizeF(7.5);
    p.setFont(f);
    p.setPen(LabelColor());
    const Qt::Alignment align = (fromLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    p.drawText(pxRect(l.labelLeft, Model::MinLabelTop, Model::LabelWidth, Model::LabelHeight), int(align),
               mModel.MinText());
    p.drawText(pxRect(l.labelLeft, Model::MaxLabelTop, Model::LabelWidth, Model::LabelHeight), int(align),
               mModel.MaxText());
}

void userDataSelect::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    mModel.Resize(Twips::FromPixels(height()));
    sync();
}

// --- Mouse --------------------------------------------------------------------------------

bool userDataSelect::overlayPoint(const QPointF& pos, QPointF& out) const
{
    const Model::Layout& l = mModel.Current();
    const QPointF t(pos.x() * Twips::PerPixel, pos.y() * Twips::PerPixel);
    const QRectF overlay(l.overlayLeft, Model::OverlayTop, Model::OverlayWidth, Model::OverlayHeight);
    out = t - overlay.topLeft();
    return overlay.contains(t);
}

void userDataSelect::mousePressEvent(QMouseEvent* event)
{
    QPointF at;
    mPressedOnOverlay = event->button() == Qt::LeftButton && overlayPoint(event->position(), at);
    mReleaseEndsDoubleClick = false;
    if (mPressedOnOverlay)
        mModel.Press(at.x(), at.y());
}

void userDataSelect::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !mPressedOnOverlay)
        return;
    QPointF at;
    overlayPoint(event->position(), at);
    const int32_t before = mModel.DragHandle();
    mModel.Move(at.y());
    if (before != CRangeSelectorModel::NoHandle)
        sync();
}

void userDataSelect::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mPressedOnOverlay)
        return;
    mPressedOnOverlay = false;
    mModel.Release();
    if (mReleaseEndsDoubleClick) {
        mReleaseEndsDoubleClick = false;
        return;
    }
    // A click that grabbed no handle closes the boxes; the open one loses the focus and so
    // commits what was typed into it.
    QLineEdit* open = openBoxEdit();
    mModel.Click();
    if (open && mModel.OpenBox() == CRangeSelectorModel::NoHandle) {
        if (open == mLowBox)
            mModel.CommitLow(open->text());
        else
            mModel.CommitHigh(open->text());
    }
    sync();
}

void userDataSelect::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPointF at;
    if (event->button() != Qt::LeftButton || !overlayPoint(event->position(), at))
        return;
    mPressedOnOverlay = true;
    mReleaseEndsDoubleClick = true;
    mModel.DoubleClick();
    QLineEdit* open = openBoxEdit();
    sync();
    if (open) {
        open->setEnabled(true);
        open->setFocus(Qt::MouseFocusReason);
        open->setSelection(0, int(open->text().size()));
    }
}

// --- Number boxes -------------------------------------------------------------------------

void userDataSelect::commitBox(QLineEdit* box)
{
    if (box != openBoxEdit())
        return;
    if (box == mLowBox)
        mModel.CommitLow(box->text());
    else
        mModel.CommitHigh(box->text());
    sync();
}

bool userDataSelect::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box || (box != mLowBox && box != mHighBox))
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter and Escape commit at once; neither reaches the box or the dialog.
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            commitBox(box);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && !mSyncing) {
        commitBox(box);
    }
    return QWidget::eventFilter(watched, event);
}
