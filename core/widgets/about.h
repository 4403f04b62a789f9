// The About window: product name and version, description, tag line, the maker's notice and a
// link to the maker's web page. Shown modal from the Help menu.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    static QString AppTitle();      // "Korvan Pro"
    static QString MakerAddress();  // the link's address
    static QString MakerNotice();   // the legal notice

    // Opens `document` with the desktop's handler; answers whether it started. Failures are
    // silent.
    static bool ShellOpen(const QString& document);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_link = nullptr;
};
