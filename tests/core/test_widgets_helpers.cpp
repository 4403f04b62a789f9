#include "tests/core/test_widgets_bars.h"

#include "core/widgets/about.h"
#include "core/widgets/winhelpers.h"
#include "tests/support/testenv.h"

#include <QDesktopServices>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    Utilities::PaintGradient(painter, image.rect(), Utilities::GradientTop, Utilities::GradientBottom);
    return image;
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

TEST(Gradient, BandsFollowTheWeightedMix)
{
    const QImage image = gradientImage(40, 256);
    EXPECT_EQ(QColor(image.pixel(20, 0)), QColor(0, 128, 255));
    EXPECT_EQ(QColor(image.pixel(20, 128)), QColor(0, 64, 159));
    EXPECT_EQ(QColor(image.pixel(20, 255)), QColor(0, 0, 64));
    // Every band spans the whole width.
    EXPECT_EQ(QColor(image.pixel(0, 128)), QColor(0, 64, 159));
    EXPECT_EQ(QColor(image.pixel(39, 128)), QColor(0, 64, 159));

    // A taller window scales the bands: band 128 starts half-way down.
    const QImage tall = gradientImage(10, 512);
    EXPECT_EQ(QColor(tall.pixel(5, 256)), QColor(0, 64, 159));
    for (int y = 0; y < 512; ++y)
        ASSERT_NE(QColor(tall.pixel(5, y)), QColor(Qt::magenta)) << y;

    EXPECT_EQ(Utilities::ColorFromBgr(0xFF8000), QColor(0, 128, 255));
}

TEST(Gradient, AMinimisedWindowIsLeftUnpainted)
{
    QWidget window;
    window.resize(50, 50);
    window.showMinimized();
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    Utilities::PaintGradient(&window, painter, Utilities::GradientTop, Utilities::GradientBottom);
    painter.end();
    EXPECT_EQ(QColor(image.pixel(25, 25)), QColor(Qt::magenta));
}

TEST(WindowHelpers, SetTopMostKeepsAShownWindowShown)
{
    QWidget window;
    window.show();
    Utilities::SetTopMost(&window, true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    Utilities::SetTopMost(&window, false);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    Utilities::SetTopMost(nullptr, true);
}

TEST(WindowHelpers, KeysTheBarClaimsArriveAsZero)
{
    TestMainWindow w;
    QSignalSpy clicks(w.bar, &CCommandBar::ToolClicked);
    int key = Qt::Key_O;
    int shift = int(Qt::ControlModifier);
    Utilities::ToolBarKeyDown(key, shift);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(clicks.count(), 1);

    key = Qt::Key_Q;
    shift = int(Qt::ShiftModifier);
    Utilities::ToolBarKeyDown(key, shift);
    Utilities::ToolBarKeyUp(key, shift);
    EXPECT_EQ(key, int(Qt::Key_Q));
    EXPECT_EQ(shift, int(Qt::ShiftModifier));

    // Without a main window the key is left alone.
    gVeltra().SetMainForm(nullptr);
    key = Qt::Key_O;
    shift = int(Qt::ControlModifier);
    Utilities::ToolBarKeyDown(key, shift);
    EXPECT_EQ(key, int(Qt::Key_O));
}

TEST(About, ShowsTheProductTextsAndOpensTheMakersPage)
{
    TestMainWindow w;
    frmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Korvan Pro"));
    auto text = [&](const char* name) {
        auto* l = about.findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<missing>");
    };
    EXPECT_EQ(text("lblTitle"), QStringLiteral("Korvan Pro 2.3"));
    EXPECT_EQ(text("lblTitleShadow"), QStringLiteral("Korvan Pro 2.3"));
    EXPECT_EQ(text("lblDesc"), QStringLiteral("A Complete Neural Network Development System\n"
                                              "For Data Mining and Data Prediction. "));
    EXPECT_EQ(text("lblQuote"), QStringLiteral("\"Discover The Patterns In Your Data\""));
    EXPECT_EQ(text("lblVersion"), QStringLiteral("Version Information:"));
    EXPECT_EQ(text("lblCopyright"), frmAbout::MakerNotice());
    EXPECT_EQ(text("lblLink"), frmAbout::MakerAddress());

    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    about.show();
    auto* link = about.findChild<QLabel*>(QStringLiteral("lblLink"));
    ASSERT_NE(link, nullptr);
    QTest::mouseClick(link, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0], QUrl(QStringLiteral("https://veltra.example")));

    // The main bar's shortcuts work while the window is up.
    QSignalSpy clicks(w.bar, &CCommandBar::ToolClicked);
    QTest::keyClick(&about, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(clicks.count(), 1);

    auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(about.result(), int(QDialog::Accepted));
    EXPECT_FALSE(about.isVisible());
}

#include "test_widgets_helpers.moc"
