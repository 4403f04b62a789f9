// The real dialogs behind CCommonDialog (answered from a timer), the help window, the splash
// window, and window capture and printing into a PDF file.
#include "core/commondialog.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/qtprompter.h"
#include "core/widgets/screenprint.h"
#include "core/widgets/splash.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/testenv.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {
// Installs the real prompter for one test.
class RealDialogs {
public:
    RealDialogs() : m_previous(Prompts::Install(&m_prompter)) {}
    ~RealDialogs() { Prompts::Install(m_previous); }
    RealDialogs(const RealDialogs&) = delete;
    RealDialogs& operator=(const RealDialogs&) = delete;

private:
    QtPrompter m_prompter;
    IPrompter* m_previous;
};

QString touch(const QString& folder, const QString& name)
{
    QFile f(folder + QLatin1Char('/') + name);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    return f.fileName();
}

// The files the open dialog lists (the model keeps filtered-out files as disabled rows), once
// at least `least` of them are read in (the folder is read in the background).
QStringList listedFiles(QWidget* dialog, int least)
{
    QStringList listed;
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!view || !model)
        return listed;
    for (int i = 0; i < 200 && listed.size() < least; ++i) {
        QTest::qWait(10);
        listed.clear();
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < model->rowCount(root); ++r) {
            const QModelIndex index = model->index(r, 0, root);
            if (model->flags(index) & Qt::ItemIsEnabled)
                listed << model->fileName(index);
        }
    }
    listed.sort();
    return listed;
}

const QString kSourceFilter = QStringLiteral("Access DB (*.mdb)|*.mdb|Korvan Sample (*.kvs)|*.kvs|Any (*.*)|*.*");
} // namespace

TEST(QtFilters, ClassicFilterBecomesQtNameFilters)
{
    // A description that names its patterns already is shown as written, not with them twice.
    EXPECT_EQ(QtNameFilters(QStringLiteral("Text (*.txt)|*.txt|Any (*.*)|*.*")),
              QStringList({QStringLiteral("Text (*.txt)"), QStringLiteral("Any (*.*)")}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Access DB (*.mdb)|*.MDB")), QStringList({QStringLiteral("Access DB (*.mdb)")}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Data (*.mdb)|*.mdb;*.kvs")),
              QStringList({QStringLiteral("Data (*.mdb) (*.mdb *.kvs)")}));
    EXPECT_EQ(QtNameFilters(QStringLiteral("Data|*.mdb;*.kvs")), QStringList({QStringLiteral("Data (*.mdb *.kvs)")}));
    // The entry without patterns keeps its description alone.
    EXPECT_EQ(QtNameFilters(kSourceFilter + QStringLiteral("|ODBC () |")).value(3), QStringLiteral("ODBC ()"));
    EXPECT_TRUE(QtNameFilters(QString()).isEmpty());
}

TEST(RealFileDialog, ChosenFileGivesFileNameAndTitle)
{
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("open"));
    const QString file = touch(folder, QStringLiteral("Sales.mdb"));
    CCommonDialog d;
    d.SetFilter(kSourceFilter);
    d.SetFilterIndex(1);
    d.SetInitDir(folder);
    d.SetDialogTitle(QStringLiteral("Select Data Source"));
    d.SetFlags(4);
    ModalAnswerer answerer;
    QString title;
    answerer.Then([&](QWidget* w) {
        title = w->windowTitle();
        // The read-only box is hidden with flag 4.
        EXPECT_EQ(w->findChild<QWidget*>(QStringLiteral("chkReadOnly")), nullptr);
        ModalAnswerer::ChooseFile(file)(w);
    });
    d.ShowOpen();
    EXPECT_EQ(answerer.Answered(), 1);
    EXPECT_EQ(title, QStringLiteral("Select Data Source"));
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), file);
    EXPECT_EQ(d.FileTitle(), QStringLiteral("Sales.mdb"));
}

TEST(RealFileDialog, AnOpenDialogTakesANameThatDoesNotExistYetUnlessItMustExist)
{
    // The new-project dialog is an open dialog naming the file to create: a name typed there
    // is taken although no such file exists yet. Only the must-exist flag (0x1000) asks for an
    // existing file.
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("newname"));
    const QString wanted = folder + QStringLiteral("/Fresh.kvp");
    CCommonDialog d;
    d.SetFilter(QStringLiteral("Korvan Projects (*.kvp)|*.kvp"));
    d.SetDefaultExt(QStringLiteral("*.kvp"));
    d.SetInitDir(folder);
    d.SetFlags(4);
    {
        ModalAnswerer answerer(3000);
        answerer.Then(ModalAnswerer::ChooseFile(wanted));
        d.ShowOpen();
        EXPECT_EQ(answerer.Answered(), 1);
    }
    ASSERT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), wanted);
    EXPECT_FALSE(QFile::exists(wanted));

    CCommonDialog existing;
    existing.SetInitDir(folder);
    existing.SetFlags(4 | 0x1000);
    ModalAnswerer answerer;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    answerer.Then([&](QWidget* w) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w))
            mode = dialog->fileMode();
        ModalAnswerer::Reject()(w);
    });
    existing.ShowOpen();
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_TRUE(existing.UserCancel());
}

// A double quote in a typed path: the path, not a list of quoted names. An existing file by
// its full path and by its name alone, and a new file whose name holds quotes.
TEST(RealFileDialog, ATypedPathWithADoubleQuoteIsThatPath)
{
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("quote \"dir\""));
    const QString there = touch(folder, QStringLiteral("say \"hi\".csv"));
    const QString fresh = folder + QStringLiteral("/new \"q\".kvp");
    const struct {
        QString typed;
        int flags;
        QString taken;
    } cases[] = {{there, 4 | 0x1000, there},
                 {QStringLiteral("say \"hi\".csv"), 4 | 0x1000, there},
                 {folder + QStringLiteral("/new \"q\""), 4, fresh}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        CCommonDialog d;
        d.SetInitDir(folder);
        d.SetDefaultExt(QStringLiteral("*.kvp"));
        d.SetFlags(c.flags);
        {
            ModalAnswerer answerer(3000);
            answerer.Then(ModalAnswerer::ChooseFile(c.typed));
            d.ShowOpen();
            EXPECT_EQ(answerer.Answered(), 1);
        }
        ASSERT_FALSE(d.UserCancel());
        EXPECT_EQ(d.FileName(), c.taken);
    }
    // The dialog's own quoted list still means the names in it.
    EXPECT_EQ(TypedPathWithQuote(QStringLiteral("\"gone.csv\""), folder, false), QString());
}

TEST(RealFileDialog, CancelSetsUserCancel)
{
    RealDialogs real;
    CCommonDialog d;
    d.SetFilter(kSourceFilter);
    d.SetFileName(QStringLiteral("keep.mdb"));
    ModalAnswerer answerer;
    answerer.Then(ModalAnswerer::Reject());
    d.ShowOpen();
    EXPECT_TRUE(d.UserCancel());
    EXPECT_EQ(d.FileName(), QStringLiteral("keep.mdb"));
}

TEST(RealFileDialog, ReadOnlyBoxIsReportedInTheFlags)
{
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("ro"));
    const QString file = touch(folder, QStringLiteral("a.kvp"));
    CCommonDialog d;
    d.SetFilter(QStringLiteral("Korvan Projects (*.kvp)|*.kvp"));
    d.SetInitDir(folder);
    ModalAnswerer answerer;
    answerer.Then([&](QWidget* w) {
        auto* box = w->findChild<QAbstractButton*>(QStringLiteral("chkReadOnly"));
        ASSERT_NE(box, nullptr);
        box->setChecked(true);
        ModalAnswerer::ChooseFile(file)(w);
    });
    d.ShowOpen();
    ASSERT_FALSE(d.UserCancel());
    EXPECT_EQ(d.Flags() & 1, 1);
}

TEST(RealFileDialog, FiltersMatchWithoutRegardToCase)
{
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("case"));
    touch(folder, QStringLiteral("UPPER.MDB"));
    touch(folder, QStringLiteral("lower.mdb"));
    touch(folder, QStringLiteral("other.txt"));
    CCommonDialog d;
    d.SetFilter(kSourceFilter);
    d.SetFilterIndex(1);
    d.SetInitDir(folder);
    ModalAnswerer answerer;
    QStringList listed;
    answerer.Then([&](QWidget* w) {
        listed = listedFiles(w, 2);
        ModalAnswerer::Reject()(w);
    });
    d.ShowOpen();
    EXPECT_EQ(listed, QStringList({QStringLiteral("UPPER.MDB"), QStringLiteral("lower.mdb")}));
}

TEST(RealFileDialog, AWildcardNameListsWhatItMatchesWhateverTypeIsShownFirst)
{
    // The data-source choice: the first type is Access files, the name "*.mdb;*.kvs"; the
    // sample data (.kvs) must be there to pick although the type shown first is .mdb.
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("wildcards"));
    touch(folder, QStringLiteral("Sales.MDB"));
    const QString sample = touch(folder, QStringLiteral("KorvanSample.kvs"));
    touch(folder, QStringLiteral("notes.txt"));
    CCommonDialog d;
    d.SetFilter(kSourceFilter);
    d.SetFilterIndex(1);
    d.SetFileName(QStringLiteral("*.mdb;*.kvs"));
    d.SetInitDir(folder);
    ModalAnswerer answerer;
    QStringList listed;
    QString shownType;
    answerer.Then([&](QWidget* w) {
        listed = listedFiles(w, 2);
        if (auto* dialog = qobject_cast<QFileDialog*>(w))
            shownType = dialog->selectedNameFilter();
        ModalAnswerer::ChooseFile(sample)(w);
    });
    d.ShowOpen();
    EXPECT_EQ(listed, QStringList({QStringLiteral("KorvanSample.kvs"), QStringLiteral("Sales.MDB")}));
    EXPECT_EQ(shownType, QStringLiteral("Access DB (*.mdb)"));
    ASSERT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), sample);
}

TEST(RealFileDialog, FourthTypeEntrySetsOdbcChosenAndCancels)
{
    RealDialogs real;
    CCommonDialog d;
    d.SetFilter(kSourceFilter + QStringLiteral("|ODBC () |"));
    d.SetFilterIndex(1);
    d.SetFileName(QStringLiteral("*.mdb;*.kvs"));
    d.SetFlags(d.Flags() + 4);
    bool odbcChosen = false;
    d.SetUserHook([&](int entry) { return odbcChosen = dbUtilities::FileDialogHook(entry); });
    ModalAnswerer answerer;
    answerer.Then(ModalAnswerer::PickFileType(3));
    d.ShowOpen();
    EXPECT_TRUE(odbcChosen);
    EXPECT_TRUE(d.UserCancel());
}

TEST(RealFileDialog, OtherTypeEntriesOnlyChangeTheListing)
{
    RealDialogs real;
    CCommonDialog d;
    d.SetFilter(kSourceFilter + QStringLiteral("|ODBC () |"));
    bool odbcChosen = false;
    d.SetUserHook([&](int entry) { return odbcChosen = dbUtilities::FileDialogHook(entry); });
    ModalAnswerer answerer;
    bool stillOpen = false;
    answerer.Then(ModalAnswerer::PickFileType(1, [&](QWidget* w) {
        stillOpen = w->isVisible();
        ModalAnswerer::Reject()(w);
    }));
    d.ShowOpen();
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(odbcChosen);
    EXPECT_TRUE(d.UserCancel());
}

TEST(RealFileDialog, SaveDialogAsksNoOverwriteQuestionOfItsOwn)
{
    RealDialogs real;
    const QString folder = TestEnv::NewFolder(QStringLiteral("save"));
    const QString file = touch(folder, QStringLiteral("exists.kvp"));
    CCommonDialog d;
    d.SetFilter(QStringLiteral("Korvan Projects (*.kvp)|*.kvp"));
    d.SetInitDir(folder);
    ModalAnswerer answerer;
    answerer.Then(ModalAnswerer::ChooseFile(file));
    d.ShowSave();
    EXPECT_EQ(answerer.Answered(), 1); // no second modal window came
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.FileName(), file);
}

TEST(RealColorDialog, CancelWithCancelErrorRaises)
{
    RealDialogs real;
    CCommonDialog d;
    d.SetCancelError(true);
    ModalAnswerer answerer;
    answerer.Then(ModalAnswerer::Reject());
    try {
        d.ShowColor();
        ADD_FAILURE() << "no error raised";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), -2147220610);
        EXPECT_EQ(e.description(), QStringLiteral("Cancel Pressed"));
    }
    EXPECT_TRUE(d.UserCancel());
}

TEST(RealColorDialog, ChosenColourComesBackAsBgr)
{
    RealDialogs real;
    CCommonDialog d;
    d.SetColor(0x0000FF); // red
    ModalAnswerer answerer;
    QColor shown;
    answerer.Then([&](QWidget* w) {
        auto* dialog = qobject_cast<QColorDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        shown = dialog->currentColor();
        dialog->setCurrentColor(QColor(0, 128, 255));
        dialog->accept();
    });
    d.ShowColor();
    EXPECT_EQ(shown, QColor(255, 0, 0));
    EXPECT_FALSE(d.UserCancel());
    EXPECT_EQ(d.Color(), 0xFF8000);
}

TEST(HelpWindow, ContextNumbersAddressTheirPages)
{
    EXPECT_EQ(HelpWindow::PageFor(1), QStringLiteral("qrc:/help/contents.html"));
    EXPECT_EQ(HelpWindow::PageFor(0), HelpWindow::PageFor(1));
    EXPECT_EQ(HelpWindow::PageFor(123456), HelpWindow::PageFor(1));
    EXPECT_EQ(HelpWindow::PageFor(6700), QStringLiteral("qrc:/help/test-results.html"));
    EXPECT_EQ(HelpWindow::PageFor(6400), QStringLiteral("qrc:/help/sfam-results.html"));
    EXPECT_EQ(HelpWindow::PageFor(5410), QStringLiteral("qrc:/help/browse-all.html"));

    frmHelp* help = HelpWindow::Show(6700);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("qrc:/help/test-results.html"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains(QStringLiteral("Browse Test Results")));
    // The one window is reused.
    EXPECT_EQ(HelpWindow::Show(1), help);
    EXPECT_TRUE(help->Browser()->toPlainText().contains(QStringLiteral("User Manual")));
    for (int context : {5410, 6400})
        EXPECT_FALSE(HelpWindow::Show(context)->Browser()->toPlainText().isEmpty());
    HelpWindow::Close();
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(HelpWindow::Current(), nullptr);
}

TEST(HelpWindow, PrompterCommandsOpenAndCloseIt)
{
    QtPrompter prompter;
    HelpRequest open;
    open.context = 6400;
    EXPECT_TRUE(prompter.showHelp(open));
    ASSERT_NE(HelpWindow::Current(), nullptr);
    EXPECT_EQ(HelpWindow::Current()->CurrentPage(), QStringLiteral("qrc:/help/sfam-results.html"));
    HelpRequest quit;
    quit.command = 2;
    EXPECT_TRUE(prompter.showHelp(quit));
    EXPECT_FALSE(HelpWindow::Current() && HelpWindow::Current()->isVisible());
}

TEST(Splash, ShowsTitleAndNoticeCentredAndHidesOnClick)
{
    frmSplash splash;
    EXPECT_EQ(frmSplash::Current(), &splash);
    EXPECT_EQ(splash.ProjectName(), QStringLiteral("Korvan Pro"));
    EXPECT_FALSE(splash.Copyright().isEmpty());
    splash.SetProjectName(QStringLiteral("Title"));
    EXPECT_EQ(splash.ProjectName(), QStringLiteral("Title"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(qAbs(splash.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(qAbs(splash.geometry().center().y() - screen.center().y()), 1);

    splash.show();
    ASSERT_TRUE(splash.isVisible());
    // A click on the title label reaches the window.
    auto* label = splash.findChild<QWidget*>(QStringLiteral("lblProjectName"));
    ASSERT_NE(label, nullptr);
    QTest::mouseClick(&splash, Qt::LeftButton, {}, label->geometry().center());
    EXPECT_FALSE(splash.isVisible());

    splash.show();
    QTest::mouseDClick(&splash, Qt::LeftButton);
    EXPECT_FALSE(splash.isVisible());
}

namespace {
QWidget* paintedWindow(int width, int height)
{
    auto* w = new QWidget;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->resize(width, height);
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, QColor(10, 200, 30));
    w->setPalette(p);
    w->show();
    return w;
}

QByteArray head(const QString& file, int n)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}
} // namespace

TEST(ScreenPrint, GrabbedWindowPrintsToAPdf)
{
    FakePrompter fp;
    std::unique_ptr<QWidget> window(paintedWindow(400, 300));
    const QPixmap picture = MScreenPrint::CaptureWindow(window.get(), false, 0, 0, 400, 300);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(400, 300));
    EXPECT_EQ(picture.toImage().pixelColor(200, 150), QColor(10, 200, 30));

    const QString pdf = TestEnv::NewFolder(QStringLiteral("print")) + QStringLiteral("/window.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    EXPECT_TRUE(MScreenPrint::PrintPictureToFitPage(printer, picture));
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(head(pdf, 5), QByteArray("%PDF-"));
    EXPECT_TRUE(fp.Boxes().empty());
}

TEST(ScreenPrint, TallPictureTurnsThePagePortrait)
{
    FakePrompter fp;
    QPixmap tall(300, 500);
    tall.fill(Qt::blue);
    const QString pdf = TestEnv::NewFolder(QStringLiteral("print")) + QStringLiteral("/tall.pdf");
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageOrientation(QPageLayout::Landscape);
    EXPECT_TRUE(MScreenPrint::PrintPictureToFitPage(printer, tall));
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST(ScreenPrint, NoPictureIsAnErrorNotABlankPage)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    const QString pdf = TestEnv::NewFolder(QStringLiteral("print")) + QStringLiteral("/none.pdf");
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    EXPECT_FALSE(MScreenPrint::PrintPictureToFitPage(printer, QPixmap()));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("MScreenPrint::PrintPictureToFitPage"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);
}

TEST(ScreenPrint, ZeroSizeOrNoWindowCapturesNothing)
{
    FakePrompter fp;
    std::unique_ptr<QWidget> window(paintedWindow(100, 80));
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_TRUE(MScreenPrint::CaptureWindow(window.get(), false, 0, 0, 0, 80).isNull());
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("MScreenPrint::CaptureWindow"));
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_TRUE(MScreenPrint::CaptureWindow(nullptr, false, 0, 0, 10, 10).isNull());
    EXPECT_EQ(fp.Boxes().size(), 2u);
}

TEST(ScreenPrint, ClientAreaOfAMainWindowLeavesOutItsBars)
{
    FakePrompter fp;
    QMainWindow main;
    main.resize(300, 200);
    main.setCentralWidget(paintedWindow(10, 10));
    main.menuBar()->addMenu(QStringLiteral("File"));
    main.show();
    QTest::qWait(0);
    const QSize central = main.centralWidget()->size();
    const QPixmap client = MScreenPrint::CaptureWindow(&main, true, 0, 0, central.width(), central.height());
    ASSERT_FALSE(client.isNull());
    EXPECT_EQ(client.toImage().pixelColor(1, 1), QColor(10, 200, 30));
    const QPixmap whole = MScreenPrint::CaptureWindow(&main, false, 0, 0, main.width(), main.height());
    EXPECT_EQ(whole.size(), main.size());
}

TEST(ScreenPrint, WithoutAPrinterTheUserChoosesAPdfFile)
{
    FakePrompter fp;
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a default printer is installed";
    QPixmap picture(120, 90);
    picture.fill(Qt::red);
    const QString folder = TestEnv::NewFolder(QStringLiteral("pdf"));
    const QString pdf = folder + QStringLiteral("/out.pdf");
    touch(folder, QStringLiteral("out.pdf"));
    FileDialogResult answer;
    answer.cancelled = false;
    answer.fileName = pdf;
    fp.ExpectFile(answer);
    fp.ExpectBox(MsgResult::Yes); // "... exists.  Overwrite?"
    EXPECT_TRUE(MScreenPrint::PrintOnDefaultPrinter(picture));
    EXPECT_EQ(fp.FileDialogs().back().kind, FileDialogRequest::Kind::Save);
    EXPECT_TRUE(fp.LastBox().text.endsWith(QStringLiteral(" exists.  Overwrite?")));
    EXPECT_EQ(head(pdf, 5), QByteArray("%PDF-"));

    fp.ExpectFile({});
    EXPECT_FALSE(MScreenPrint::PrintOnDefaultPrinter(picture));
}
