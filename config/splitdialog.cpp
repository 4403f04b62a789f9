#include "config/splitdialog.h"

#include "config/rangeselector.h"
#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/twips.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/winhelpers.h"
#include "network/networkproject.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("Split The Data");

// Designed size and places, in twips.
constexpr int kWidth = 4335;
constexpr int kHeight = 4935;
constexpr int kTrainLeft = 330;
constexpr int kTestLeft = 2355;
constexpr int kControlTop = 480;
constexpr int kCountLabelWidth = 1320;
constexpr int kCountWidth = 600;

// A designed place in twips as whole pixels.
QRect placed(int left, int top, int width, int height)
{
    return {Twips::ToWholePixels(left), Twips::ToWholePixels(top), Twips::ToWholePixels(width),
            Twips::ToWholePixels(height)};
}

QLabel* caption(QWidget* parent, const QString& text, int left, int top, int width, int height,
                Qt::Alignment align, bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(placed(left, top, width, height));
    label->setAlignment(align);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    QFont f = label->font();
    f.setBold(bold);
    f.setPointSizeF(8);
    label->setFont(f);
    return label;
}

} // namespace

DataSelectRules::Range DataSelectRules::ClampToRows(int32_t maxRow, Range range)
{
    if (maxRow < 1)
        return range;
    range.low = std::clamp(range.low, 1, maxRow);
    range.high = std::clamp(range.high, 1, maxRow);
    if (range.low > range.high)
        range.low = range.high;
    return range;
}

int64_t DataSelectRules::RowCount(int32_t low, int32_t high)
{
    return int64_t(high) - int64_t(low) + 1;
}

QString DataSelectRules::SelectRowsText()
{
    return QStringLiteral("Select Rows For Train And Test - Drag the setting or double click to edit.");
}

bool DataSelectRules::EnoughTrainingRows(int64_t rows)
{
    return rows >= MinTrainRows;
}

frmDataSelect::frmDataSelect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDataSelect"));
    setWindowTitle(kTitle);
    setFixedSize(Twips::ToWholePixels(kWidth), Twips::ToWholePixels(kHeight));

    const int controlWidth = userDataSelect::WidthTwips;
    caption(this, QStringLiteral("Train"), kTrainLeft, 150, controlWidth, 285, Qt::AlignCenter, true)
        ->setObjectName(QStringLiteral("Label1"));
    caption(this, QStringLiteral("Test"), kTestLeft, 150, controlWidth, 285, Qt::AlignCenter, true)
        ->setObjectName(QStringLiteral("Label2"));

    dsTrainSet = new userDataSelect(this);
    dsTrainSet->setObjectName(QStringLiteral("dsTrainSet"));
    dsTrainSet->move(Twips::ToWholePixels(kTrainLeft), Twips::ToWholePixels(kControlTop));
    dsTrainSet->SetHorzPos(1);
    dsTestSet = new userDataSelect(this);
    dsTestSet->setObjectName(QStringLiteral("dsTestSet"));
    dsTestSet->move(Twips::ToWholePixels(kTestLeft), Twips::ToWholePixels(kControlTop));
    dsTestSet->SetHorzPos(2);

    const int countTop = kControlTop + CRangeSelectorModel::PanelHeightDesigned + 90;
    caption(this, QStringLiteral("Rows Selected"), kTrainLeft, countTop, kCountLabelWidth, 255, Qt::AlignLeft | Qt::AlignVCenter,
            false)
        ->setObjectName(QStringLiteral("Label3"));
    lblTrainRows = caption(this, QString(), kTrainLeft + kCountLabelWidth, countTop, kCountWidth, 255, Qt::AlignRight | Qt::AlignVCenter,
                           true);
    lblTrainRows->setObjectName(QStringLiteral("lblTrainRows"));
    caption(this, QStringLiteral("Rows Selected"), kTestLeft, countTop, kCountLabelWidth, 255, Qt::AlignLeft | Qt::AlignVCenter,
            false)
        ->setObjectName(QStringLiteral("Label4"));
    lblTestRows = caption(this, QString(), kTestLeft + kCountLabelWidth, countTop, kCountWidth, 255, Qt::AlignRight | Qt::AlignVCenter,
                          true);
    lblTestRows->setObjectName(QStringLiteral("lblTestRows"));

    const int buttonTop = countTop + 420;
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(placed(kTrainLeft + 270, buttonTop, 1215, 375));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(placed(kTestLeft + 165, buttonTop, 1215, 375));

    connect(dsTrainSet, &userDataSelect::Change, this, &frmDataSelect::dsTrainSet_Change);
    connect(dsTestSet, &userDataSelect::Change, this, &frmDataSelect::dsTestSet_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmDataSelect::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDataSelect::cmdCancel_Click);
    dsTrainSet_Change();
    dsTestSet_Change();
}

void frmDataSelect::Init(int32_t MaxRows, int32_t aTrainHigh, int32_t aTrainLow, int32_t aTestHigh,
                         int32_t aTestLow)
{
    if (MaxRows < 1)
        return;
    const DataSelectRules::Range train = DataSelectRules::ClampToRows(MaxRows, {aTrainLow, aTrainHigh});
    const DataSelectRules::Range test = DataSelectRules::ClampToRows(MaxRows, {aTestLow, aTestHigh});
    mMaxRow = MaxRows;
    mTrainHigh = train.high;
    mTrainLow = train.low;
    mTestHigh = test.high;
    mTestLow = test.low;
    const auto fill = [this](userDataSelect* control, int32_t high, int32_t low) {
        IgnoreErrors([&] { control->SetMax(mMaxRow); });
        IgnoreErrors([&] { control->SetValueHigh(high); });
        IgnoreErrors([&] { control->SetValueLow(low); });
        IgnoreErrors([&] { control->SetMin(1); });
    };
    fill(dsTrainSet, mTrainHigh, mTrainLow);
    fill(dsTestSet, mTestHigh, mTestLow);
}

void frmDataSelect::activate()
{
    IgnoreErrors([&] { dsTrainSet->SetMax(mMaxRow); });
    IgnoreErrors([&] { dsTrainSet->SetMin(1); });
    IgnoreErrors([&] { dsTestSet->SetMax(mMaxRow); });
    IgnoreErrors([&] { dsTestSet->SetMin(1); });
    IgnoreErrors([&] { dsTrainSet->SetValueLow(mTrainLow); });
    IgnoreErrors([&] { dsTrainSet->SetValueHigh(mTrainHigh); });
    IgnoreErrors([&] { dsTestSet->SetValueLow(mTestLow); });
    IgnoreErrors([&] { dsTestSet->SetValueHigh(mTestHigh); });
    const bool rows = mMaxRow != 0;
    IgnoreErrors([&] { dsTrainSet->SetEnabled(rows); });
    IgnoreErrors([&] { dsTestSet->SetEnabled(rows); });
    IgnoreErrors([&] { dsTestSet->SetMaxDataSelect(DataSelectRules::MaxDataSelect); });
    IgnoreErrors([&] { dsTrainSet->SetMaxDataSelect(DataSelectRules::MaxDataSelect); });
    IgnoreErrors([&] { Utilities::StatusMessage(DataSelectRules::SelectRowsText()); });
}

void frmDataSelect::dsTrainSet_Change()
{
    IgnoreErrors([&] {
        const int64_t rows = DataSelectRules::RowCount(dsTrainSet->ValueLow(), dsTrainSet->ValueHigh());
        lblTrainRows->setText(QString::number(rows));
        cmdOK->setEnabled(DataSelectRules::EnoughTrainingRows(rows));
    });
}

void frmDataSelect::dsTestSet_Change()
{
    IgnoreErrors([&] {
        lblTestRows->setText(QString::number(DataSelectRules::RowCount(dsTestSet->ValueLow(), dsTestSet->ValueHigh())));
    });
}

void frmDataSelect::cmdOK_Click()
{
    Procedure(QStringLiteral("frmDataSelect::cmdOK_Click"), [&] {
        mCancel = false;
        if (!DataSelectRules::EnoughTrainingRows(DataSelectRules::RowCount(dsTrainSet->ValueLow(), dsTrainSet->ValueHigh()))) {
            Prompts::MsgBox(QStringLiteral("Must have at least 10 records to train."), MsgButtons::Ok,
                            MsgIcon::Exclamation, kTitle);
            return;
        }
        mTrainHigh = dsTrainSet->ValueHigh();
        mTrainLow = dsTrainSet->ValueLow();
        mTestHigh = dsTestSet->ValueHigh();
        mTestLow = dsTestSet->ValueLow();
        accept();
    });
}

void frmDataSelect::cmdCancel_Click()
{
    reject();
}

void frmDataSelect::reject()
{
    // Cancel, Escape and the close box all end here.
    mCancel = true;
    QDialog::reject();
}

void frmDataSelect::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    activate();
}

void frmDataSelect::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Utilities::PaintGradient(this, painter, Utilities::GradientTop, Utilities::GradientBottom);
}

void frmDataSelect::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QDialog::keyPressEvent(event);
}

void frmDataSelect::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QDialog::keyReleaseEvent(event);
}
