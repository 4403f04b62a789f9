#include "shell/commandtable.h"

#include "core/errorbox.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"

#include <algorithm>

void CCommandTable::Add(QLatin1StringView tool, std::function<void(const CommandClick&)> action, CommandBar bar)
{
    const auto same = [&](const CommandRow& row) { return row.bar == bar && row.tool == tool; };
    if (auto it = std::find_if(m_rows.begin(), m_rows.end(), same); it != m_rows.end()) {
        it->action = std::move(action);
        return;
    }
    m_rows.push_back({tool, bar, std::move(action)});
}

void CCommandTable::Add(QLatin1StringView tool, void (*procedure)())
{
    Add(tool, [procedure](const CommandClick&) { procedure(); });
}

const CommandRow* CCommandTable::Find(CommandBar bar, const QString& tool) const
{
    const QString name = tool.toUpper();
    for (const CommandRow& row : m_rows)
        if (row.bar == bar && QString(row.tool).toUpper() == name)
            return &row;
    return nullptr;
}

bool CCommandTable::HasRows(CommandBar bar) const
{
    return std::any_of(m_rows.begin(), m_rows.end(), [bar](const CommandRow& row) { return row.bar == bar; });
}

bool CCommandTable::Run(CommandBar bar, const CommandClick& click) const
{
    const CommandRow* row = Find(bar, click.tool);
    if (!row)
        return false;
    // Copied first: a command may install commands while it runs.
    const auto action = row->action;
    if (action)
        action(click);
    return true;
}

CCommandTable& gCommands()
{
    static CCommandTable table = [] {
        CCommandTable shell;
        frmMain::AddCommands(shell);
        return shell;
    }();
    return table;
}

bool ToggleClicked(const CommandClick& click)
{
    CCommandBar* bar = click.window->MainToolBar();
    bar->SetChecked(click.tool, !bar->Checked(click.tool));
    return bar->Checked(click.tool);
}

QString modMenu::NotAvailableText()
{
    return QStringLiteral("Not available yet");
}

void modMenu::RunCommand(QLatin1StringView tool)
{
    if (!gCommands().Run(CommandBar::Main, {nullptr, tool, 0}))
        Status::Message(NotAvailableText());
}

void modMenu::TrainBar(const QString& toolName)
{
    if (!gCommands().HasRows(CommandBar::Training)) {
        Status::Message(NotAvailableText());
        return;
    }
    Procedure(QStringLiteral("modMenu::TrainBar"), [&] {
        gCommands().Run(CommandBar::Training, {qobject_cast<frmMain*>(gVeltra().MainForm()), toolName, 0});
    });
}
