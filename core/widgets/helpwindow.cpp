#include "core/widgets/helpwindow.h"

#include <QApplication>
#include <QPointer>
#include <QWindow>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <map>

namespace {
QPointer<frmHelp> g_help;
} // namespace

// Resources of a static library are not registered on their own. (Outside any namespace: the
// registration function lives in the global one.)
static void registerPages()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    (void)done;
}

QString HelpWindow::PageFor(int context)
{
    // The address answered must lead to the page, whoever opens it.
    registerPages();
    static const std::map<int, QString> pages = {
        {1, QStringLiteral("contents.html")},
        {5410, QStringLiteral("browse-all.html")},
        {6400, QStringLiteral("sfam-results.html")},
        {6700, QStringLiteral("test-results.html")},
    };
    const auto it = pages.find(context);
    return QStringLiteral("qrc:/help/") + (it == pages.end() ? pages.at(1) : it->second);
}

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    registerPages();
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Korvan Pro Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 520);
}

void frmHelp::ShowContext(int context)
{
    m_browser->setSource(QUrl(HelpWindow::PageFor(context)));
}

QString frmHelp::CurrentPage() const
{
    return m_browser->source().toString();
}

frmHelp* HelpWindow::Show(int context)
{
    if (!g_help)
        g_help = new frmHelp();
    g_help->ShowContext(context);
    // Over a modal dialog the help window belongs to the dialog: a window of its own would be
    // blocked by the dialog and stack under the main window until the dialog ends. The window
    // system hears of a new owner when the window is shown again.
    const QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal ? modal->windowHandle() : nullptr;
    g_help->winId();
    if (QWindow* window = g_help->windowHandle(); window && window->transientParent() != owner) {
        g_help->hide();
        window->setTransientParent(owner);
    }
    g_help->show();
    g_help->raise();
    g_help->activateWindow();
    return g_help;
}

frmHelp* HelpWindow::Current()
{
    return g_help;
}

void HelpWindow::Close()
{
    if (g_help)
        g_help->close();
}
