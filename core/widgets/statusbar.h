// The main window's status bar: `CMStatusBar` is the control on the window (a panel strip with
// a progress bar laid over it); `CVeltraStatusBar` is the application's wrapper that lays out
// the seven panels ("Main", "User", "Edit", "Project", "Nodes", "Date", "Space") and switches
// single panels. Sizes are pixels; figures given in twips convert at 15 twips a pixel.
#pragma once

#include "core/status.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include <vector>

class QHBoxLayout;
class QProgressBar;

namespace StatusGeometry {
constexpr int TwipsPerPixel = 15;
constexpr int Px(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }
}

// One panel of the strip: a key, a text and its layout properties.
class CStatusPanel : public QLabel {
    Q_OBJECT
public:
    enum Alignment { AlignLeft = 0, AlignCenter = 1, AlignRight = 2 };
    enum AutoSize { SizeFixed = 0, SizeSpring = 1, SizeContents = 2 };

    CStatusPanel(const QString& key, const QString& text, QWidget* parent);

    const QString& Key() const { return m_key; }
    QString Text() const { return text(); }
    void SetText(const QString& text) { setText(text); }
    int PanelAlignment() const { return m_alignment; }
    void SetPanelAlignment(int alignment);
    int PanelAutoSize() const { return m_autoSize; }
    void SetPanelAutoSize(int autoSize);
    int MinWidth() const { return m_minWidth; }
    void SetMinWidth(int pixels);
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    // Shown state as set (true also while the whole strip is hidden).
    bool PanelVisible() const { return m_visible; }
    void SetPanelVisible(bool on);
    bool PanelEnabled() const { return isEnabled(); }
    void SetPanelEnabled(bool on) { setEnabled(on); }
    // Place in the strip, in pixels.
    int Left() const { return x(); }
    int Width() const { return width(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void applySize();

    QString m_key;
    int m_alignment = AlignLeft;
    int m_autoSize = SizeFixed;
    int m_minWidth = 10;
    bool m_flat = false;
    bool m_visible = true;
};

// The panel strip (the inner status-bar control): panels by index from 1 or by key.
class CStatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit CStatusPanels(QWidget* parent = nullptr);

    int Count() const { return int(m_panels.size()); }
    // Raise KvError 9 (index outside 1..Count) or 3265 (unknown key).
    CStatusPanel& Panel(int index) const;
    CStatusPanel& Panel(const QString& key) const;
    CStatusPanel& Add(const QString& key, const QString& text = {});
    void Remove(int index);
    void Clear();

private:
    QHBoxLayout* m_layout;
    std::vector<CStatusPanel*> m_panels;
};

// The control on the main window: the panel strip filling a QStatusBar, with the progress bar
// laid over it. Set it with QMainWindow::setStatusBar.
class CMStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit CMStatusBar(QWidget* parent = nullptr);

    CStatusPanels* StatusBar() const { return m_panels; }
    QProgressBar* ProgressBar() const { return m_progress; }
    // Text extent in the strip's font, in pixels.
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;
    void Refresh();

signals:
    // A click or double click anywhere on the control, its panels or its progress bar.
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreProgress();

    CStatusPanels* m_panels;
    QProgressBar* m_progress;
};

// The application's status-bar wrapper (gVeltra().StatusBar()). Bound once by Initialize to
// the main window's strip. The program installs it as the status sink of code without
// widgets (Status::Message and friends); texts sent before it is bound are dropped. Members
// that touch the strip raise KvError 91 before Initialize.
class CVeltraStatusBar : public IStatusSink {
public:
    CVeltraStatusBar() = default;
    ~CVeltraStatusBar() override;
    CVeltraStatusBar(const CVeltraStatusBar&) = delete;
    CVeltraStatusBar& operator=(const CVeltraStatusBar&) = delete;

    // The bound strip, or nullptr before Initialize.
    CStatusPanels* StatusBar() const { return m_bar.data(); }
    CStatusPanel& Panel(int index) const;
    CStatusPanel& Panel(const QString& key) const;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    bool Visible() const { return m_visible; }
    void SetVisible(bool on);
    bool EditPanelVisible() const { return m_editPanelVisible; }
    void SetEditPanelVisible(bool on);
    bool DatePanelVisible() const { return m_datePanelVisible; }
    void SetDatePanelVisible(bool on);
    bool UserPanelVisible() const { return m_userPanelVisible; }
    void SetUserPanelVisible(bool on);
    bool EditPanelEnabled() const { return m_editPanelEnabled; }
    void SetEditPanelEnabled(bool on);
    bool UserPanelEnabled() const { return m_userPanelEnabled; }
    void SetUserPanelEnabled(bool on);

    // Panel 2 ("User") when otherPanel, else panel 1 ("Main"), shows " " + message + " ".
    void Message(const QString& message, bool otherPanel = false);

    // Lays out the seven panels on `bar` (removing any it had) and binds it; a null bar shows
    // "Bad Parameter to CVeltraStatus.Initialize(). Cannot Init" and changes nothing.
    void Initialize(CStatusPanels* bar);

    // The date text of the Date panel for `date`: " mmm d, yyyy " (English month).
    static QString DateText(const QDate& date);

    // IStatusSink: the Utilities status helpers.
    void message(const QString& text) override;
    void progress(int percent) override;
    void setProjectPanel(const QString& text) override;
    void setNodesPanel(const QString& text) override;
    std::optional<QString> currentMessage() const override;

private:
    CStatusPanels& bar() const;

    QPointer<CStatusPanels> m_bar;
    bool m_editPanelVisible = false;
    bool m_datePanelVisible = false;
    bool m_userPanelVisible = false;
    bool m_editPanelEnabled = false;
    bool m_userPanelEnabled = true;
    bool m_visible = true;
    bool m_enabled = true;
    // The progress last drawn (-1: the bar hidden) and when.
    int m_drawnPercent = -1;
    QElapsedTimer m_drawn;
};
