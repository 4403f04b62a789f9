// The widget-free pieces of start-up and the common dialogs: the single-copy lock, the splash
// wait, the fit-to-page rule and CCommonDialog over a scripted prompter.
#include "core/commondialog.h"
#include "core/printfit.h"
#include "core/singlecopy.h"
#include "core/splashwait.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <gtest/gtest.h>

TEST(SingleCopy, SecondCopyCannotTakeTheLockUntilTheFirstEnds)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("lock"));
    auto first = std::make_unique<SingleCopy>(folder);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->Held());
    EXPECT_TRUE(first->LockPath().startsWith(folder));

    SingleCopy second(folder);
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_FALSE(second.Held());

    first.reset();
    EXPECT_TRUE(second.TryAcquire());
}

TEST(SingleCopy, AnOldLockOfARunningCopyIsNotTakenOver)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("lock"));
    SingleCopy first(folder);
    ASSERT_TRUE(first.TryAcquire());
    // A copy that has run for hours still owns its lock.
    QFile lockFile(first.LockPath());
    ASSERT_TRUE(lockFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-3 * 3600), QFileDevice::FileModificationTime));
    lockFile.close();

    SingleCopy second(folder);
    EXPECT_FALSE(second.TryAcquire());
}

TEST(SingleCopy, ALockLeftByAKilledCopyIsTakenOver)
{
    const QString folder = TestEnv::NewFolder(QStringLiteral("lock"));
    SingleCopy probe(folder);
    // The lock file of a process that no longer exists.
    QFile lockFile(probe.LockPath());
    ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
    lockFile.write("999999\nkorvan\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lockFile.close();
    EXPECT_TRUE(probe.TryAcquire());
}

TEST(SingleCopy, AFolderThatCannotHoldTheLockDoesNotStopTheProgram)
{
    // A plain file where the folder should be.
    const QString blocker = TestEnv::NewFolder(QStringLiteral("lock")) + QStringLiteral("/file");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SingleCopy copy(blocker);
    EXPECT_TRUE(copy.TryAcquire());
    EXPECT_FALSE(copy.Held());
}

TEST(SplashWait, RemainingTimeAndPasses)
{
    EXPECT_EQ(SplashWait::RemainingMs(1500), 6500);
    EXPECT_EQ(SplashWait::Passes(6500), 65);
    EXPECT_EQ(SplashWait::Passes(6550), 66);
    // Exactly the minimum counts as reached; a slow start leaves no wait at all.
    EXPECT_EQ(SplashWait::RemainingMs(8000), 0);
    EXPECT_EQ(SplashWait::RemainingMs(10000), 0);
    EXPECT_EQ(SplashWait::RemainingMs(0), 8000);
    EXPECT_EQ(SplashWait::RemainingMs(-5), 0);
    EXPECT_EQ(SplashWait::Passes(0), 0);
}

TEST(SplashWait, RunMakesItsPassesAndStopsWhenTheSplashGoes)
{
    int pumps = 0, slept = 0;
    auto pump = [&] { ++pumps; };
    auto sleep = [&](int ms) { slept += ms; };
    EXPECT_EQ(SplashWait::Run(SplashWait::RemainingMs(1500), [] { return true; }, pump, sleep), 65);
    EXPECT_EQ(pumps, 65);
    EXPECT_EQ(slept, 6500);

    // A click on the splash ends the wait within the pass.
    int passes = 0;
    EXPECT_EQ(SplashWait::Run(6500, [&] { return ++passes < 3; }, pump, sleep), 3);

    pumps = 0;
    EXPECT_EQ(SplashWait::Run(0, [] { return true; }, pump, sleep), 0);
    EXPECT_EQ(pumps, 0);
}

TEST(PrintFit, OrientationFollowsThePicturesShape)
{
    using PrintFit::Orientation;
    EXPECT_EQ(PrintFit::OrientationFor(QSizeF(800, 600)), Orientation::Landscape);
    EXPECT_EQ(PrintFit::OrientationFor(QSizeF(600, 800)), Orientation::Portrait);
    EXPECT_EQ(PrintFit::OrientationFor(QSizeF(500, 500)), Orientation::Portrait);
}

TEST(PrintFit, PictureFillsTheWidthOrTheHeightOfThePage)
{
    const QSizeF page(300, 200); // 3:2
    const QSizeF wide = PrintFit::FitToPage(QSizeF(200, 100), page);
    EXPECT_DOUBLE_EQ(wide.width(), 300);
    EXPECT_DOUBLE_EQ(wide.height(), 150); // 3/4 of the height
    const QSizeF fourThree = PrintFit::FitToPage(QSizeF(400, 300), page);
    EXPECT_DOUBLE_EQ(fourThree.height(), 200);
    EXPECT_DOUBLE_EQ(fourThree.width(), 800.0 / 3.0); // 8/9 of the width
    // Same proportions as the page: the whole page.
    EXPECT_EQ(PrintFit::FitToPage(QSizeF(30, 20), page), page);
    EXPECT_TRUE(PrintFit::FitToPage(QSizeF(0, 20), page).isEmpty());
    EXPECT_TRUE(PrintFit::FitToPage(QSizeF(30, 20), QSizeF(0, 0)).isEmpty());
}

namespace {
FileDialogResult chosen(const QString& path, int32_t flags = 0)
{
    FileDialogResult r;
    r.cancelled = false;
    r.fileName = path;
    r.flags = flags;
    return r;
}
} // namespace

TEST(CommonDialog, DefaultsAfterConstruction)
{
    CCommonDialog d;
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.MaxFileSize(), 260);
    EXPECT_EQ(d.Copies(), 1);
    EXPECT_EQ(d.HelpContext(), QStringLiteral("0"));
    EXPECT_TRUE(d.PrinterDefault());
    EXPECT_EQ(d.Flags(), 0);
    EXPECT_EQ(d.FilterIndex(), 0);
    EXPECT_FALSE(d.GetUserHook());
}

TEST(CommonDialog, OpenHandsOverItsPropertiesAndReadsTheChoiceBack)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetFilter(QStringLiteral("Text (*.txt)|*.txt|Any (*.*)|*.*"));
    d.SetFilterIndex(2);
    d.SetInitDir(QStringLiteral("/data"));
    d.SetDialogTitle(QStringLiteral("Import"));
    d.SetDefaultExt(QStringLiteral("txt"));
    d.SetFileName(QStringLiteral("*.txt"));
    d.SetFlags(d.Flags() + 4);
    fp.ExpectFile(chosen(QStringLiteral("/data/sub/Sales.txt")));
    d.ShowOpen();

    ASSERT_EQ(fp.FileDialogs().size(), 1u);
    const FileDialogRequest& r = fp.FileDialogs().front();
    EXPECT_EQ(r.kind, FileDialogRequest::Kind::Open);
    EXPECT_EQ(r.filter, QStringLiteral("Text (*.txt)|*.txt|Any (*.*)|*.*"));
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.initialDir, QStringLiteral("/data"));
    EXPECT_EQ(r.title, QStringLiteral("Import"));
    EXPECT_EQ(r.fileName, QStringLiteral("*.txt"));
    EXPECT_EQ(r.flags, 4);
    EXPECT_FALSE(r.filterHook);

    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), QStringLiteral("/data/sub/Sales.txt"));
    EXPECT_EQ(d.FileTitle(), QStringLiteral("Sales.txt"));
    EXPECT_EQ(d.APIReturn(), 1);
    EXPECT_EQ(d.FilterIndex(), 2); // not taken from the dialog
}

TEST(CommonDialog, CancelKeepsTheNamesAndALaterChoiceClearsTheCancel)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetFileName(QStringLiteral("before.kvp"));
    d.SetFileTitle(QStringLiteral("title"));
    fp.ExpectFile({});
    d.ShowSave();
    EXPECT_TRUE(d.UserCancel());
    EXPECT_EQ(d.FileName(), QStringLiteral("before.kvp"));
    EXPECT_EQ(d.FileTitle(), QStringLiteral("title"));
    EXPECT_EQ(d.APIReturn(), 0);
    EXPECT_EQ(fp.FileDialogs().back().kind, FileDialogRequest::Kind::Save);

    fp.ExpectFile(chosen(QStringLiteral("/p/after.kvp"), 1));
    d.ShowOpen();
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), QStringLiteral("/p/after.kvp"));
    // The read-only box was ticked.
    EXPECT_EQ(d.Flags() & 1, 1);
}

TEST(CommonDialog, ALongInitialNameIsCutToTheNameBox)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetFileName(QString(300, QLatin1Char('a')));
    fp.ExpectFile({});
    d.ShowOpen();
    EXPECT_EQ(fp.FileDialogs().back().fileName.size(), 259);
}

TEST(CommonDialog, TheHookIsKeptAndMarkedInTheFlags)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetFlags(4);
    d.SetUserHook(dbUtilities::FileDialogHook);
    fp.ExpectFile(chosen(QStringLiteral("/p/a.mdb")));
    d.ShowOpen();
    ASSERT_TRUE(fp.FileDialogs().back().filterHook);
    EXPECT_EQ(fp.FileDialogs().back().flags, 4 | 0x20);
    // The returned flags carry the hook bit; the property before the dialog did not.
    EXPECT_EQ(d.Flags(), 4 | 0x20);
    fp.ExpectFile({});
    d.ShowSave();
    EXPECT_TRUE(fp.FileDialogs().back().filterHook);
}

TEST(CommonDialog, FileDialogHookReactsToTheFourthEntryOnly)
{
    for (int entry : {0, 1, 2, 4})
        EXPECT_FALSE(dbUtilities::FileDialogHook(entry));
    EXPECT_TRUE(dbUtilities::FileDialogHook(3));
}

TEST(CommonDialog, CancelledColourRaisesOnlyWithCancelError)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetColor(0x112233);
    fp.ExpectColor({});
    d.ShowColor();
    EXPECT_TRUE(d.UserCancel());
    EXPECT_EQ(d.Action(), 3);
    EXPECT_EQ(fp.ColorDialogs().back().color, 0x112233);

    d.SetCancelError(true);
    fp.ExpectColor({});
    try {
        d.ShowColor();
        ADD_FAILURE() << "no error raised";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), -2147220610);
        EXPECT_EQ(e.description(), QStringLiteral("Cancel Pressed"));
    }
    EXPECT_TRUE(d.UserCancel());

    // The file dialogs report a cancel through UserCancel alone.
    fp.ExpectFile({});
    EXPECT_NO_THROW(d.ShowSave());
    EXPECT_TRUE(d.UserCancel());

    ColorDialogResult picked;
    picked.cancelled = false;
    picked.color = 0x00FF8000;
    fp.ExpectColor(picked);
    d.ShowColor();
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.Color(), 0x00FF8000);
}

TEST(CommonDialog, FontDialogRulesOfNameAndSize)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetFontName(QString(32, QLatin1Char('F')));
    d.ShowFont(); // too long a face name: no dialog
    EXPECT_TRUE(fp.FontDialogs().empty());
    EXPECT_EQ(d.Action(), 4);

    d.SetFontName(QStringLiteral("Arial"));
    d.SetFontSize(12);
    d.SetFontBold(true);
    FontDialogResult r;
    r.cancelled = false;
    r.name = QStringLiteral("DejaVu Sans");
    r.pointSize = 10.5; // a half goes to the even neighbour
    r.italic = true;
    fp.ExpectFont(r);
    d.ShowFont();
    ASSERT_EQ(fp.FontDialogs().size(), 1u);
    EXPECT_EQ(fp.FontDialogs().back().name, QStringLiteral("Arial"));
    EXPECT_EQ(fp.FontDialogs().back().pointSize, 12);
    EXPECT_TRUE(fp.FontDialogs().back().bold);
    EXPECT_EQ(d.FontName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(d.FontSize(), 10);
    EXPECT_FALSE(d.FontBold());
    EXPECT_TRUE(d.FontItalic());
    r.pointSize = 11.5;
    fp.ExpectFont(r);
    d.ShowFont();
    EXPECT_EQ(d.FontSize(), 12);
}

TEST(CommonDialog, PrinterValuesOutsideSixteenBitsShowNoDialog)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetMax(40000);
    d.ShowPrinter();
    EXPECT_TRUE(fp.PrintDialogs().empty());
    EXPECT_EQ(d.Action(), 5);

    d.SetMax(9);
    d.SetMin(1);
    d.SetFromPage(2);
    d.SetToPage(3);
    PrintDialogResult r;
    r.cancelled = false;
    r.fromPage = 1;
    r.toPage = 9;
    r.minPage = 1;
    r.maxPage = 9;
    r.copies = 2;
    fp.ExpectPrint(r);
    d.ShowPrinter();
    EXPECT_EQ(fp.PrintDialogs().back().fromPage, 2);
    EXPECT_EQ(d.ToPage(), 9);
    EXPECT_EQ(d.Copies(), 2);
}

TEST(CommonDialog, HelpGoesToTheHelpWindow)
{
    FakePrompter fp;
    CCommonDialog d;
    d.SetHelpCommand(3);
    d.ShowHelp();
    EXPECT_EQ(d.Action(), 6);
    EXPECT_EQ(d.APIReturn(), 1);
    ASSERT_EQ(fp.HelpRequests().size(), 1u);
    EXPECT_EQ(fp.HelpRequests().back().command, 3);
}
