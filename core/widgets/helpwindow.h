// The program's help: one window over the bundled HTML pages, opened at the page of a help
// context number (the windows of the system carry those numbers).
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // Shows the page of `context`; an unknown context shows the contents.
    void ShowContext(int context);
    QString CurrentPage() const;
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

namespace HelpWindow {
// The page that belongs to a help context number ("qrc:/help/contents.html" for 1 and for
// every number without a page of its own).
QString PageFor(int context);
// Opens the one help window (not modal) at the page of `context` and brings it to the front,
// above a modal dialog that is up, and usable there.
frmHelp* Show(int context);
// The open help window, or nullptr.
frmHelp* Current();
void Close();
}
