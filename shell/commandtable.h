// The commands behind the main window's tools: one table of rows, tool name to command, that
// the shell and each window library fill for their own commands. The main bar and the training
// bar dispatch from it, and one window reaches another's command through it by the tool's name;
// adding a command is a name in core/widgets/toolnames.h and a row here.
#pragma once

#include <QLatin1StringView>
#include <QString>

#include <functional>
#include <vector>

class frmMain;

// The bar whose clicks a row answers. While the training bar is the band clicked, only its rows
// run; the main bar's rows never run from it.
enum class CommandBar { Main, Training };

// One click as a command receives it.
struct CommandClick {
    frmMain* window = nullptr; // the main window clicked; null for a command run by name (RunCommand)
    QString tool;              // the tool's name as the click gave it
    int tag = 0;               // the clicked copy's tag (the recent files keep their place here)
};

struct CommandRow {
    QLatin1StringView tool;
    CommandBar bar = CommandBar::Main;
    std::function<void(const CommandClick& click)> action;
};

class CCommandTable {
public:
    // Adds the row; a row of the same tool and bar is replaced, so installing twice is harmless.
    void Add(QLatin1StringView tool, std::function<void(const CommandClick&)> action,
             CommandBar bar = CommandBar::Main);
    // A main-bar command that is one procedure without arguments.
    void Add(QLatin1StringView tool, void (*procedure)());
    // The row of `tool` on `bar`, its name compared upper-cased (a click's case does not
    // matter); nullptr when there is none.
    const CommandRow* Find(CommandBar bar, const QString& tool) const;
    bool HasRows(CommandBar bar) const;
    // The rows in the order they were added.
    const std::vector<CommandRow>& Rows() const { return m_rows; }
    // Puts back rows taken with Rows() (tests replace commands by recording ones and restore).
    void SetRows(std::vector<CommandRow> rows) { m_rows = std::move(rows); }

    // Runs the row of `tool` on `bar`, when there is one; answers whether there was.
    bool Run(CommandBar bar, const CommandClick& click) const;

private:
    std::vector<CommandRow> m_rows;
};

// The program's one table, holding the main window's own commands from the start.
CCommandTable& gCommands();

// Flips the Checked state of the clicked tool of the main bar and answers the new state.
bool ToggleClicked(const CommandClick& click);

namespace modMenu {
// "Not available yet": what a command says while no row holds it.
QString NotAvailableText();
// The main bar's command of `tool`, as another window or procedure asks for it (the click has
// no window); "Not available yet" in the main status panel while the table holds no row of it.
void RunCommand(QLatin1StringView tool);
// The training bar's command of that tool from the command table, as a click on the training
// bar runs it (a tool without one does nothing); "Not available yet" while the table holds no
// training command. Errors show the box "modMenu::TrainBar".
void TrainBar(const QString& toolName);
} // namespace modMenu
