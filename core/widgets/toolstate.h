// Switching the main tools off while the configuration or a training view is up and giving
// them back afterwards, remembered by tool name; and moving numbered entries between lists.
#pragma once

#include <QString>

#include <map>

class CCommandBar;
class QComboBox;
class QListWidget;

// The remembered Enabled states of one bar's tools, by name: tools that move, come or go in
// between (a recent file added by the configuration commit) keep their own state.
class CToolStates {
public:
    // Remembers every tool's state and switches all off except "miHContents" and the tools of
    // the band "mnuTrainBPBar". A second switch-off keeps the states of the first.
    void SwitchOff(CCommandBar& bar);
    // Gives every remembered tool its state; nothing remembered: nothing happens.
    void Restore(CCommandBar& bar);
    bool Holding() const { return m_holding; }
    void Clear();

private:
    std::map<QString, bool> m_states;
    bool m_holding = false;
};

namespace Utilities {
// The two on the main window's bar, with the module's one memory. Failures show the standard
// box titled "Utilities::TmpDisableTools" or "Utilities::TmpEnableTools".
void TmpDisableTools();
void TmpEnableTools();

// The role in which list entries carry their number (a field's number beside its name).
constexpr int ItemDataRole = 0x0100; // Qt::UserRole

// Moves entries with their numbers from `source` to `target`: all (from the last, appended), or
// the selected ones (several: each into the target before the first entry whose number is
// greater or equal; one: appended). Failures show the plain box "CopyListBoxItemsToCB".
void CopyListBoxItemsToCB(QListWidget* source, QListWidget* target, bool selectedOnly);
void CopyListBoxItemsToCB(QListWidget* source, QComboBox* target, bool selectedOnly);
void CopyListBoxItemsToCB(QComboBox* source, QListWidget* target, bool selectedOnly);
void CopyListBoxItemsToCB(QComboBox* source, QComboBox* target, bool selectedOnly);
}
