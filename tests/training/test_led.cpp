#include "core/kverror.h"
#include "tests/support/testenv.h"
#include "training/led.h"
#include "training/propertybag.h"

#include <QImage>
#include <QSignalSpy>
#include <array>
#include <gtest/gtest.h>
#include <memory>

namespace {
using Role = DisplayItem::Role;

std::vector<int32_t> SegmentColors(const LED& led)
{
    std::vector<int32_t> colors;
    for (const DisplayItem* item : led.Display().Of(Role::LedSegment))
        colors.push_back(item->color);
    return colors;
}

int32_t ErrorOf(LED& led, int16_t value)
{
    try {
        led.SetValue(value);
    } catch (const KvError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

TEST(LedDigit, MasksOfTheDigits)
{
    const int expected[10] = {125, 80, 55, 87, 90, 79, 111, 81, 127, 95};
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(LED::SegmentMask(d), expected[d]) << d;
    EXPECT_EQ(LED::SegmentMask(10), 0);
    EXPECT_EQ(LED::SegmentMask(-1), 0);
}

TEST(LedDigit, NewInstanceShowsARedZeroAndBadValuesKeepTheOldOne)
{
    LED led;
    led.resize(20, 30);
    // Segments 0, 2, 3, 4, 5, 6 lit, the middle dark, the point dark.
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>({255, 0, 255, 255, 255, 255, 255}));
    ASSERT_EQ(led.Display().Of(Role::LedDecimal).size(), 1u);
    EXPECT_EQ(led.Display().Of(Role::LedDecimal)[0]->fillColor, 0);

    led.SetValue(8);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 255));
    EXPECT_EQ(ErrorOf(led, 10), int32_t(0x80040064));
    EXPECT_EQ(ErrorOf(led, -1), int32_t(0x80040064));
    EXPECT_EQ(led.Value(), 8);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 255));

    led.SetValueIsMask(true);
    led.SetValue(127);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 255));
    led.SetValue(0);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 0));
    EXPECT_EQ(ErrorOf(led, 128), int32_t(0x800400C8));
    led.SetValue(100);
    // Back to digits with a mask above 9 in Value: every segment dark, nothing raised.
    led.SetValueIsMask(false);
    EXPECT_EQ(led.Value(), 100);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 0));

    led.SetShowDecimal(true);
    EXPECT_EQ(led.Display().Of(Role::LedDecimal)[0]->fillColor, 255);
    led.SetLEDColorOn(0x00FF00);
    led.SetLEDColorOff(0x202020);
    EXPECT_EQ(led.Display().Of(Role::LedDecimal)[0]->fillColor, 0x00FF00);
    EXPECT_EQ(SegmentColors(led), std::vector<int32_t>(7, 0x202020));
}

TEST(LedDigit, GeometryOfAThousandTwipSquareAndOfAWideDigit)
{
    const LEDGeometry g = LEDGeometry::For(1000, 1000);
    EXPECT_EQ(g.a, 75);
    EXPECT_EQ(g.b, 100);
    EXPECT_EQ(g.c, 150);
    EXPECT_EQ(g.segments[0], (std::array<double, 4>{175, 75, 525, 75}));
    EXPECT_EQ(g.segments[4][0], 625);
    EXPECT_EQ(g.segments[6][0], 625);
    EXPECT_EQ(g.segments[1][1], 500);
    EXPECT_EQ(g.segments[5], (std::array<double, 4>{75, 600, 75, 825}));
    EXPECT_EQ(g.decimalLeft, 775);
    EXPECT_EQ(g.decimalTop, 775);
    EXPECT_EQ(g.lineWidthPixels, 8);

    // Wider than tall: margins from the height, segments across the whole width.
    const LEDGeometry wide = LEDGeometry::For(3000, 1000);
    EXPECT_EQ(wide.a, 75);
    EXPECT_EQ(wide.c, 150);
    EXPECT_EQ(wide.segments[0][2], 3000 - 3 * 75 - 150 - 100);
    EXPECT_EQ(wide.decimalLeft, 3000 - 225);
    // Halves go to the even number: 0.075 x 300 = 22.5 -> 22, 0.05 x 45 = 2.25 -> 2.
    const LEDGeometry small = LEDGeometry::For(300, 600);
    EXPECT_EQ(small.a, 22);
    EXPECT_EQ(small.lineWidthPixels, 2);

    // A control of 1000 x 1000 twips (67 pixels is 1005): a lit 1 is red on its right column.
    LED led;
    led.resize(67, 67);
    led.SetValue(1);
    const QImage image = led.grab().toImage();
    const LEDGeometry& shown = led.Geometry();
    const int x = int(shown.segments[4][0] / 15), y = int((shown.segments[4][1] + shown.segments[4][3]) / 30);
    EXPECT_EQ(QColor(image.pixel(x, y)), QColor(255, 0, 0));
    const int tx = int((shown.segments[0][0] + shown.segments[0][2]) / 30), ty = int(shown.segments[0][1] / 15);
    EXPECT_EQ(QColor(image.pixel(tx, ty)), QColor(0, 0, 0));
    // Zero size: nothing drawn, nothing fails.
    led.resize(0, 0);
    led.SetValue(3);
    EXPECT_EQ(led.Geometry().c, 0);
}

TEST(LedDigit, SavedPropertiesInTheirOrder)
{
    LED led;
    QSignalSpy changed(&led, &LED::PropertyChanged);
    led.SetValue(4);
    led.SetValueIsMask(false); // unchanged: no notice
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("Value"));

    led.SetShowDecimal(true);
    led.SetLEDColorOn(0xFF0000);
    PropertyBag bag;
    led.WriteProperties(bag);
    EXPECT_EQ(bag.WriteOrder(), QStringList({"Value", "ShowDecimal", "LEDColorOn", "LEDColorOff",
                                             "ShowBorder", "BackStyle", "ValueIsMask"}));
    EXPECT_EQ(bag.Find("LEDColorOn")->defaultValue.toInt(), 255);

    LED copy;
    copy.ReadProperties(bag);
    EXPECT_EQ(bag.ReadOrder(), QStringList({"Value", "ValueIsMask", "ShowDecimal", "LEDColorOn",
                                            "LEDColorOff", "ShowBorder", "BackStyle"}));
    EXPECT_EQ(copy.Value(), 4);
    EXPECT_TRUE(copy.ShowDecimal());
    EXPECT_EQ(copy.LEDColorOn(), 0xFF0000);

    // A stored value that the digit refuses keeps the old one; the rest is still read.
    PropertyBag bad;
    bad.WriteProperty("Value", 12, 0);
    bad.WriteProperty("ShowDecimal", true, false);
    copy.ReadProperties(bad);
    EXPECT_EQ(copy.Value(), 4);
    EXPECT_TRUE(copy.ShowDecimal());

    // A stored segment mask above 9 is kept as a mask.
    PropertyBag mask;
    mask.WriteProperty("Value", 99, 0);
    mask.WriteProperty("ValueIsMask", true, false);
    LED masked;
    masked.ReadProperties(mask);
    EXPECT_TRUE(masked.ValueIsMask());
    EXPECT_EQ(masked.Value(), 99);
    EXPECT_EQ(masked.Mask(), 99);
}

TEST(LedRow, ShowNumberWritesDigitsAndReducesANumberThatDoesNotFitOnce)
{
    std::vector<std::unique_ptr<LED>> owned;
    std::vector<LED*> seven;
    for (int i = 0; i < 7; ++i) {
        owned.push_back(std::make_unique<LED>());
        seven.push_back(owned.back().get());
    }
    LEDRow::ShowNumber(seven, 1234567);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(seven[size_t(i)]->Value(), 7 - i);
    LEDRow::ShowNumber(seven, 10000005);
    EXPECT_EQ(seven[0]->Value(), 5);
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(seven[size_t(i)]->Value(), 0) << i;

    // Twice the room or more: the highest digit would be above 9 and keeps its value.
    LEDRow::ShowNumber(seven, 9000000);
    LEDRow::ShowNumber(seven, 30000001);
    EXPECT_EQ(LEDRow::Digits(7, 30000001)[6], 20);
    EXPECT_EQ(seven[6]->Value(), 9);
    EXPECT_EQ(seven[0]->Value(), 1);

    std::vector<LED*> two = {seven[0], seven[1]};
    LEDRow::ShowNumber(two, 7);
    EXPECT_EQ(two[0]->Value(), 7);
    EXPECT_EQ(two[1]->Value(), 0);
    EXPECT_EQ(LEDRow::Digits(2, 100), std::vector<int>({0, 0}));
}
