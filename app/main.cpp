// Korvan Pro: a development environment for neural networks used for data mining and
// prediction.
#include "core/regsettings.h"
#include "core/widgets/qtprompter.h"
#include "core/widgets/veltra.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Veltra"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvan"));
    gRegSettings().SetCompany(QStringLiteral("Veltra"));
    gRegSettings().SetAppName(QStringLiteral("Korvan"));

    QtPrompter prompter;
    Prompts::Install(&prompter);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Korvan Pro"));
    window.setCentralWidget(new QMdiArea(&window));
    window.resize(1024, 720);
    gVeltra().SetMainForm(&window);
    window.show();
    const int rc = app.exec();
    Prompts::Install(nullptr);
    return rc;
}
