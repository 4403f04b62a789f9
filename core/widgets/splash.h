// The splash window of start-up: a picture with the application title, version and legal
// notice, centred on the screen and kept on top; a click anywhere on it hides it.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QString ProjectName() const;
    void SetProjectName(const QString& name);
    QString Copyright() const;
    void SetCopyright(const QString& notice);

    // The splash picture drawn for a given size (the window shows one of its own size).
    static QPixmap Picture(const QSize& size);
    // The splash window while one exists, else nullptr.
    static frmSplash* Current();

signals:
    // The user clicked the window away.
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void centreOnScreen();

    QLabel* m_picSplash;
    QLabel* m_lblProjectName;
    QLabel* m_lblCopyright;
    QLabel* m_lblVersion;
    QLabel* m_lblRelease;
};
