// F1 on every window that carries a help context number, as the user reaches each one: the help
// command must open a bundled page of that window's own, and the page must name the window by
// its caption. The pages' links must all lead somewhere.
#include "browse/browsegrid.h"
#include "core/widgets/helpwindow.h"
#include "tests/browse/browsefixture.h"
#include "tests/browse/findfixture.h"

#include <QDirIterator>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QTextDocument>

#include <functional>
#include <set>

using namespace BrowseTest;
using FindTest::Current;

namespace {

QString ResourceText(const QString& url)
{
    // "qrc:/help/x.html" is the resource ":/help/x.html".
    QFile f(url.startsWith(QLatin1String("qrc:")) ? url.mid(3) : url);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QString Heading(const QString& html)
{
    static const QRegularExpression h1(QStringLiteral("<h1>(.*?)</h1>"), QRegularExpression::DotMatchesEverythingOption);
    QTextDocument doc;
    doc.setHtml(h1.match(html).captured(1));
    return doc.toPlainText().simplified();
}

class HelpPages : public BrowseTestBase {
protected:
    // Opens a view, makes it the active child window as the user's click does, presses F1's
    // command and checks the page that request leads to. Returns the context asked for.
    int F1On(const std::function<void()>& open, const char* what)
    {
        open();
        frmBrowse* w = Current();
        EXPECT_NE(w, nullptr) << what;
        if (!w)
            return 0;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
            main->MdiArea()->setActiveSubWindow(sub);
        // The user works in the grid: its cell has the keyboard, as after a click.
        w->tgBrowse->DataPane()->setFocus();
        const size_t before = prompts.HelpRequests().size();
        modMenu::ShowHelpContents();
        EXPECT_EQ(prompts.HelpRequests().size(), before + 1) << what;
        if (prompts.HelpRequests().size() != before + 1)
            return 0;
        const int context = prompts.HelpRequests().back().context;
        const QString page = HelpWindow::PageFor(context);
        EXPECT_NE(page, HelpWindow::PageFor(1)) << what << ": context " << context << " has no page of its own";
        const QString html = ResourceText(page);
        EXPECT_FALSE(html.isEmpty()) << what << ": " << page.toStdString() << " is not bundled";
        const QString caption = w->windowTitle();
        EXPECT_FALSE(caption.isEmpty()) << what;
        EXPECT_TRUE(Heading(html).contains(caption)) << what << ": the heading of " << page.toStdString() << " is \""
                                                     << Heading(html).toStdString() << "\", not the window \""
                                                     << caption.toStdString() << "\"";
        return context;
    }
};

} // namespace

TEST_F(HelpPages, F1OnEveryNumberedWindowOpensABundledPageThatNamesIt)
{
    std::set<int> contexts;
    OpenBackProp();
    contexts.insert(F1On(&BrowseViews::BrowseTest, "back-propagation results"));
    contexts.insert(F1On(&BrowseViews::BrowseTestWorstFirst, "back-propagation results, worst first"));
    contexts.insert(F1On(&BrowseViews::ShowDefBrowser, "back-propagation whole table"));
    OpenSFam("Name");
    contexts.insert(F1On(&BrowseViews::BrowseTest, "SFAM results"));
    contexts.insert(F1On(&BrowseViews::MENU_SFShowErrors, "SFAM incorrect predictions"));
    contexts.insert(F1On(&BrowseViews::MENU_SFShowCorrect, "SFAM correct predictions"));
    contexts.insert(F1On(&BrowseViews::ShowDefBrowser, "SFAM whole table"));
    // The results of each kind and the whole table: three windows, three pages.
    EXPECT_EQ(contexts, (std::set<int>{5410, 6400, 6700}));
}

TEST(HelpManual, EveryLinkLeadsToABundledPageAndEveryPageIsReachedFromTheContents)
{
    std::set<QString> pages;
    QDirIterator it(QStringLiteral(":/help"), {QStringLiteral("*.html")}, QDir::Files);
    while (it.hasNext())
        pages.insert(QFileInfo(it.next()).fileName());
    ASSERT_TRUE(pages.count(QStringLiteral("contents.html")));

    static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
    static const QRegularExpression name(QStringLiteral("<a name=\"([^\"]+)\""));
    const auto anchorsOf = [](const QString& html) {
        std::set<QString> anchors;
        for (auto m = name.globalMatch(html); m.hasNext();)
            anchors.insert(m.next().captured(1));
        return anchors;
    };
    std::set<QString> reached{QStringLiteral("contents.html")};
    for (const QString& page : pages) {
        const QString html = ResourceText(QStringLiteral(":/help/") + page);
        EXPECT_FALSE(Heading(html).isEmpty()) << page.toStdString() << " has no heading";
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const auto link = m.next();
            const QString target = link.captured(1).isEmpty() ? page : link.captured(1);
            EXPECT_TRUE(pages.count(target)) << page.toStdString() << " links to " << target.toStdString();
            if (!link.captured(2).isEmpty() && pages.count(target)) {
                EXPECT_TRUE(anchorsOf(ResourceText(QStringLiteral(":/help/") + target)).count(link.captured(2)))
                    << page.toStdString() << " links to the missing place " << target.toStdString() << "#"
                    << link.captured(2).toStdString();
            }
            if (page == QLatin1String("contents.html"))
                reached.insert(target);
        }
    }
    EXPECT_EQ(reached, pages) << "every page is listed in the contents";
}
