// The one find dialog of every browse window (frmFind): a history of the last ten texts, Match
// Case and a direction. It does not search: Find Next hands the text and the switches to the
// browser that showed it last. Modeless and parented to the main window (not a child of the
// child area, so the browse window stays active); closing only hides it, and its history and
// switches last for the run, past the dialog itself.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>

class CBrowseBase;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

// The history of search texts, most recent first.
class FindHistory {
public:
    static constexpr int Size = 10;
    // An empty text is not stored. A text already there (ignoring case) moves to the front in
    // the form given; a new one pushes the oldest out.
    void Add(const QString& text);
    // The entries up to the first empty one.
    QStringList Entries() const;

private:
    std::array<QString, Size> m_entries;
};

class frmFind : public QDialog {
    Q_OBJECT
public:
    // The dialog, created (centred over the main window, parented to it) on first use.
    static frmFind& Instance();
    // The dialog if it exists (F3 and Alt+N of a browse window do nothing without one).
    static frmFind* Existing();
    // Shows the dialog for `browser`, which then receives its Activate and FindNext.
    static void ShowFor(CBrowseBase* browser);

    // The Find Next button's click when it is enabled; otherwise nothing.
    void FindNext();
    // The state the dialog remembers for the run.
    static FindHistory& History();

    QComboBox* cmbFind = nullptr;
    QCheckBox* chkMatchCase = nullptr;
    QRadioButton* optUp = nullptr;
    QRadioButton* optDown = nullptr;
    QPushButton* cmdFindNext = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit frmFind(QWidget* parent);
    void textChanged(const QString& text);
    // Refills the list from the history, takes the direction, raises Activate.
    void activate();
    void saveSwitches();
    // The search box takes the focus with its whole text selected.
    void focusText();

    QPointer<CBrowseBase> m_target;
    bool m_dirDown = true;
};
