// The row-range selector: its rules in twips with the numbers of its design, and the widget's
// mouse, keyboard and enabled handling.
#include "config/rangeselector.h"
#include "core/widgets/winhelpers.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QPalette>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QValidator>
#include <gtest/gtest.h>

namespace {

using Model = CRangeSelectorModel;

struct Counted {
    Model m;
    int changes = 0;
    Counted()
    {
        m.onChange = [this] { ++changes; };
    }
};

} // namespace

TEST(RangeSelectorModel, ANewControlAndItsDrawingInTwips)
{
    Counted c;
    Model& m = c.m;
    EXPECT_EQ(m.HorzPos(), 1);
    EXPECT_EQ(m.MaxDataSelect(), 0);
    EXPECT_EQ(m.Min(), 1);
    EXPECT_EQ(m.Max(), 1000);
    EXPECT_EQ(m.ValueLow(), 200);
    EXPECT_EQ(m.ValueHigh(), 800);
    EXPECT_EQ(m.BackColor(), 0x8000000Fu);
    EXPECT_EQ(m.HalfArrow(), 120);

    // 200 of 1..1000 lies 481 twips down the bar of 2415, 800 lies 1932 down; each arrow's
    // middle points at its place.
    const Model::Layout& l = m.Current();
    EXPECT_EQ(l.fillTop, 481);
    EXPECT_EQ(l.fillHeight, 1932 - 481);
    EXPECT_EQ(l.topArrowTop, 601);
    EXPECT_EQ(l.bottomArrowTop, 2052);
    EXPECT_EQ(l.lowBoxTop, 601);
    EXPECT_EQ(l.highBoxTop, 2052);
    EXPECT_EQ(m.LowText(), "200");
    EXPECT_EQ(m.HighText(), "800");

    // Halves go to the even neighbour: 5 of 4830 steps is 2.5 twips, drawn at 2, not 3.
    m.SetMax(4831);
    m.SetValueLow(6);
    EXPECT_EQ(m.Current().fillTop, 2);
    EXPECT_EQ(m.Current().topArrowTop, 122);

    // Max = Min: both arrows at the top of the bar while the values equal Min.
    m.SetMax(1);
    EXPECT_EQ(m.ValueLow(), 1);
    EXPECT_EQ(m.ValueHigh(), 1);
    EXPECT_EQ(m.Current().topArrowTop, 120);
    EXPECT_EQ(m.Current().bottomArrowTop, 120);
    EXPECT_EQ(m.Current().fillHeight, 0);
}

TEST(RangeSelectorModel, CloseArrowsPushTheBoxesApartInsideThePanel)
{
    Model m;
    m.SetValueLow(500);
    m.SetValueHigh(500);
    // Both arrows at 1326: the boxes move half an arrow up and down.
    EXPECT_EQ(m.Current().topArrowTop, 1326);
    EXPECT_EQ(m.Current().lowBoxTop, 1206);
    EXPECT_EQ(m.Current().highBoxTop, 1446);

    // At the bottom of a lower panel both boxes stay inside it.
    m.Resize(2800);
    m.SetValueHigh(1000);
    m.SetValueLow(1000);
    EXPECT_EQ(m.Current().lowBoxTop, 2800 - 2 * 285);
    EXPECT_EQ(m.Current().highBoxTop, 2800 - 285);

    // Above the top: the low box at 0, the high box under it.
    m.Resize(3015);
    m.SetValueLow(-1);
    m.SetValueHigh(1);
    EXPECT_LT(m.Current().topArrowTop, 120);
    EXPECT_EQ(m.Current().lowBoxTop, 0);
    EXPECT_EQ(m.Current().highBoxTop, 285);
}

TEST(RangeSelectorModel, OnlyLayoutsOneAndTwoAreShown)
{
    Model m;
    m.SetHorzPos(3);
    EXPECT_EQ(m.HorzPos(), 3);
    EXPECT_EQ(m.ShownLayout(), 1);
    // Nothing is drawn for another layout number: the picture keeps its old places.
    m.SetValueLow(1);
    EXPECT_EQ(m.Current().topArrowTop, 601);
    m.SetHorzPos(2);
    EXPECT_EQ(m.ShownLayout(), 2);
    EXPECT_EQ(m.Current().topArrowTop, 120);
    EXPECT_EQ(m.Current().boxLeft, 600);
    EXPECT_EQ(m.LayoutOf(1).boxLeft, 180);
}

TEST(RangeSelectorModel, SettersKeepTheRangeOrderedAndRaiseChange)
{
    Counted c;
    Model& m = c.m;
    // The span limit of 32000 on 1..50000 pulls the high end down once.
    m.SetMax(50000);
    m.SetValueHigh(50000);
    m.SetValueLow(1);
    c.changes = 0;
    m.SetMaxDataSelect(32000);
    EXPECT_EQ(m.ValueHigh(), 32000);
    EXPECT_EQ(m.ValueLow(), 1);
    EXPECT_EQ(c.changes, 1);
    EXPECT_EQ(m.HighText(), "32000");

    // No limit (0) never shortens the range.
    Counted free;
    free.m.SetMax(50000);
    free.m.SetValueHigh(50000);
    free.m.SetValueLow(1);
    free.changes = 0;
    free.m.SetMaxDataSelect(0);
    EXPECT_EQ(free.m.ValueHigh(), 50000);
    EXPECT_EQ(free.changes, 0);

    // A low end above the high end is ignored; the high end is taken, and raises Change even
    // when it does not move.
    Counted v;
    v.m.SetValueLow(300);
    v.m.SetValueHigh(400);
    v.changes = 0;
    v.m.SetValueLow(500);
    EXPECT_EQ(v.m.ValueLow(), 300);
    EXPECT_EQ(v.changes, 0);
    v.m.SetValueHigh(400);
    EXPECT_EQ(v.changes, 1);
    v.m.SetValueHigh(250);
    EXPECT_EQ(v.m.ValueHigh(), 400);

    // Min pulls both ends up (one Change each); Max pulls both down; crossing is ignored.
    Counted p;
    p.m.SetValueLow(1);
    p.m.SetValueHigh(3);
    p.changes = 0;
    p.m.SetMin(5);
    EXPECT_EQ(p.m.ValueLow(), 5);
    EXPECT_EQ(p.m.ValueHigh(), 5);
    EXPECT_EQ(p.changes, 2);
    p.m.SetMin(2000);
    EXPECT_EQ(p.m.Min(), 5);
    p.m.SetValueHigh(900);
    p.changes = 0;
    p.m.SetMax(4);
    EXPECT_EQ(p.m.Max(), 1000);
    p.m.SetMax(7);
    EXPECT_EQ(p.m.ValueLow(), 5);
    EXPECT_EQ(p.m.ValueHigh(), 7);
    EXPECT_EQ(p.changes, 1);
    EXPECT_EQ(p.m.MaxText(), "7");

    // Colours: a system colour is refused, a plain RGB value taken.
    Model colours;
    colours.SetBackColor(0x8000000F);
    EXPECT_EQ(colours.BackColor(), 0x8000000Fu);   // still the creation value
    colours.SetBackColor(0xC0C0C0);
    EXPECT_EQ(colours.BackColor(), 0xC0C0C0u);
    colours.SetBackColor(0x80000005);
    EXPECT_EQ(colours.BackColor(), 0xC0C0C0u);
    colours.SetFillColor(0x1000000);
    EXPECT_EQ(colours.FillColor(), 0xFF0000u);
}

TEST(RangeSelectorModel, DraggingTheLowHandle)
{
    Counted c;
    Model& m = c.m;
    // Layout 1: the arrow column starts at overlay x 1140 (arrow left plus overlay left, less
    // the overlay left that the press adds).
    m.Press(1150, 721);
    EXPECT_EQ(m.DragHandle(), Model::LowHandle);
    EXPECT_EQ(m.GrabOffset(), 120);

    // Above the bar: the arrow's middle stops at the bar's top and the value is Min.
    m.Move(-500);
    EXPECT_EQ(m.Current().topArrowTop, 120);
    EXPECT_EQ(m.Current().fillTop, 0);
    EXPECT_EQ(m.Current().fillHeight, 2052 - 120);
    EXPECT_EQ(m.ValueLow(), 1);
    EXPECT_EQ(m.LowText(), "1");
    EXPECT_EQ(c.changes, 1);
    // A move that leaves the arrow where it is changes nothing.
    m.Move(-600);
    EXPECT_EQ(c.changes, 1);

    // Down onto the high handle: one unit above its arrow, the value never above ValueHigh.
    m.Move(3000);
    EXPECT_EQ(m.Current().topArrowTop, 2051);
    EXPECT_EQ(m.ValueLow(), 800);
    EXPECT_EQ(m.ValueHigh(), 800);
    EXPECT_EQ(c.changes, 2);

    m.Release();
    EXPECT_EQ(m.DragHandle(), Model::NoHandle);
    EXPECT_EQ(m.LastHandle(), Model::LowHandle);
    m.Move(100);   // no handle: nothing
    EXPECT_EQ(c.changes, 2);

    // In the number column (left of 1140) the low box is the handle.
    Model boxes;
    boxes.Press(400, 700);
    EXPECT_EQ(boxes.DragHandle(), Model::LowHandle);
    EXPECT_EQ(boxes.GrabOffset(), 99);
    Model miss;
    miss.Press(400, 1500);
    EXPECT_EQ(miss.DragHandle(), Model::NoHandle);
}

TEST(RangeSelectorModel, DraggingTheHighHandlePullsTheLowEndUnderTheSpanLimit)
{
    Counted c;
    Model& m = c.m;
    m.SetHorzPos(2);
    m.SetValueLow(1);
    m.SetValueHigh(100);
    m.SetMaxDataSelect(100);
    EXPECT_EQ(m.Current().bottomArrowTop, 359);
    c.changes = 0;
    // Layout 2: left of box column (overlay x 360) is the arrow column.
    m.Press(50, 479);
    EXPECT_EQ(m.DragHandle(), Model::HighHandle);
    m.Move(600);   // the position of 150
    EXPECT_EQ(m.ValueHigh(), 150);
    EXPECT_EQ(m.ValueLow(), 51);
    EXPECT_EQ(c.changes, 1);

    // Past the bar's end: Max, the arrow's middle at the end of the bar.
    m.SetMaxDataSelect(0);
    m.Move(5000);
    EXPECT_EQ(m.ValueHigh(), 1000);
    EXPECT_EQ(m.Current().bottomArrowTop, 240 + 2415 - 120);
    // Up past the low handle: the arrow stops at the low arrow's top, the value at ValueLow.
    m.Move(-5000);
    EXPECT_EQ(m.Current().bottomArrowTop, m.Current().topArrowTop);
    EXPECT_EQ(m.ValueHigh(), m.ValueLow());

    // The box column in layout 2 starts at overlay x 360.
    Model two;
    two.SetHorzPos(2);
    two.Press(370, 2100);
    EXPECT_EQ(two.DragHandle(), Model::HighHandle);
}

TEST(RangeSelectorModel, ClicksOpenAndCloseTheBoxes)
{
    Model m;
    m.Press(1150, 2100);   // the high arrow
    m.Release();
    m.Click();
    m.DoubleClick();
    EXPECT_EQ(m.OpenBox(), Model::HighHandle);
    m.Press(1150, 1500);   // nothing
    m.Release();
    m.Click();
    EXPECT_EQ(m.OpenBox(), Model::NoHandle);
    m.DoubleClick();
    EXPECT_EQ(m.OpenBox(), Model::NoHandle);
}

TEST(RangeSelectorModel, CommittedNumbers)
{
    Counted c;
    Model& m = c.m;
    // 0 with Min 1 stores 1.
    m.CommitLow("0");
    EXPECT_EQ(m.ValueLow(), 1);
    EXPECT_EQ(c.changes, 1);
    // Above Max stores Max.
    m.CommitHigh("5000");
    EXPECT_EQ(m.ValueHigh(), 1000);
    // The unchanged number only closes the box.
    m.CommitHigh("1000");
    EXPECT_EQ(c.changes, 2);
    // A low number above the high box's pushes the high end up, at most to Max.
    m.CommitHigh("300");
    m.CommitLow("900");
    EXPECT_EQ(m.ValueLow(), 900);
    EXPECT_EQ(m.ValueHigh(), 900);
    m.CommitLow("5000");
    EXPECT_EQ(m.ValueLow(), 1000);
    EXPECT_EQ(m.ValueHigh(), 1000);
    // An emptied high box sets both ends to Min.
    m.CommitHigh("");
    EXPECT_EQ(m.ValueLow(), 1);
    EXPECT_EQ(m.ValueHigh(), 1);
    EXPECT_EQ(m.HighText(), "1");
    // A number past the 32-bit range is a number past Max: it stores Max, never 0 (which
    // collapsed the range to Min..Min).
    m.CommitHigh("600");
    m.CommitLow("99999999999");
    EXPECT_EQ(m.ValueLow(), 1000);
    EXPECT_EQ(m.ValueHigh(), 1000);
    m.CommitLow("1");
    m.CommitHigh("2147483648");
    EXPECT_EQ(m.ValueHigh(), 1000);
    EXPECT_EQ(m.ValueLow(), 1);
    m.CommitHigh("600");
    m.CommitHigh("99999999999999999999999");
    EXPECT_EQ(m.ValueHigh(), 1000);

    // The span limit pulls the other end.
    Model s;
    s.SetValueLow(1);
    s.SetValueHigh(100);
    s.SetMaxDataSelect(100);
    s.CommitHigh("500");
    EXPECT_EQ(s.ValueLow(), 401);
    s.CommitLow("10");
    EXPECT_EQ(s.ValueLow(), 10);
    EXPECT_EQ(s.ValueHigh(), 109);
}

// --- The widget ---------------------------------------------------------------------------

TEST(RangeSelectorWidget, MouseAndKeyboard)
{
    userDataSelect w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    int changes = 0;
    QObject::connect(&w, &userDataSelect::Change, [&] { ++changes; });

    // Layout 1: the low arrow at twips 601..841 lies at pixels 40..56; the arrow column starts
    // at twips 1200 (pixel 80).
    QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(85, 45));
    QTest::mouseMove(&w, QPoint(85, 10));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(85, 10));
    EXPECT_EQ(w.ValueLow(), 1);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(w.LowBox()->text(), "1");

    // A double-click on the handle (a click, then the double-click event) opens its box with
    // the whole text selected; digits only.
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(85, 12));
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(85, 12));
    ASSERT_TRUE(w.LowBox()->isEnabled());
    EXPECT_TRUE(w.LowBox()->hasFocus());
    EXPECT_EQ(w.LowBox()->selectedText(), "1");
    EXPECT_FALSE(w.HighBox()->isEnabled());
    QTest::keyClicks(w.LowBox(), "1x2");
    EXPECT_EQ(w.LowBox()->text(), "12");
    QString pasted = "3a";
    int pos = 0;
    EXPECT_EQ(w.LowBox()->validator()->validate(pasted, pos), QValidator::Invalid);
    changes = 0;
    QTest::keyClick(w.LowBox(), Qt::Key_Return);
    EXPECT_EQ(w.ValueLow(), 12);
    EXPECT_FALSE(w.LowBox()->isEnabled());
    EXPECT_EQ(changes, 1);

    // Escape commits the typed number exactly as Enter does (high arrow at pixels 137..153).
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(85, 145));
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(85, 145));
    ASSERT_TRUE(w.HighBox()->isEnabled());
    QTest::keyClicks(w.HighBox(), "700");
    QTest::keyClick(w.HighBox(), Qt::Key_Escape);
    EXPECT_EQ(w.ValueHigh(), 700);
    EXPECT_FALSE(w.HighBox()->isEnabled());

    // A click that grabs no handle closes an open box, which commits what was typed (the high
    // arrow of 700 lies at pixels 121..136).
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(85, 128));
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(85, 128));
    ASSERT_TRUE(w.HighBox()->isEnabled());
    QTest::keyClicks(w.HighBox(), "650");
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(85, 100));
    EXPECT_FALSE(w.HighBox()->isEnabled());
    EXPECT_EQ(w.ValueHigh(), 650);
}

TEST(RangeSelectorWidget, DisabledGreysAndRefusesInput)
{
    userDataSelect w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_EQ(w.FillPaintColor(), QColor(0, 0, 255));
    w.SetEnabled(false);
    EXPECT_FALSE(w.isEnabled());
    EXPECT_EQ(w.LabelColor(), grey);
    EXPECT_EQ(w.FillPaintColor(), grey);
    QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(85, 45));
    QTest::mouseMove(&w, QPoint(85, 10));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(85, 10));
    EXPECT_EQ(w.ValueLow(), 200);
    w.SetEnabled(true);
    EXPECT_EQ(w.LabelColor(), QColor(0, 0, 255));
}

TEST(RangeSelectorWidget, BothLayoutsPaintTheFillOnTheBar)
{
    for (int layout : {1, 2}) {
        userDataSelect w;
        w.SetHorzPos(layout);
        w.SetFillColor(0x00FF00);   // green
        QImage image(w.size(), QImage::Format_RGB32);
        w.render(&image);
        // The middle of the fill (twips 1446 down) in the middle of the bar.
        const int barMiddle = layout == 1 ? (1380 + 127) / 15 : 127 / 15;
        EXPECT_EQ(QColor(image.pixel(barMiddle, 1446 / 15)), QColor(0, 255, 0)) << layout;
        // Above the fill the bar is white.
        EXPECT_EQ(QColor(image.pixel(barMiddle, 300 / 15)), QColor(Qt::white)) << layout;
    }
}
