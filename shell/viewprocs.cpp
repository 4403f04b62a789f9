#include "shell/viewprocs.h"

#include "core/errorbox.h"
#include "core/status.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/updatelock.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"

#include <utility>

QPointer<QWidget>& gBrowseForm()
{
    static QPointer<QWidget> form;
    return form;
}

std::shared_ptr<IDataBrowse>& gDataBrowse()
{
    static std::shared_ptr<IDataBrowse> browse;
    return browse;
}

std::shared_ptr<CIMode>& gIMode()
{
    static std::shared_ptr<CIMode> mode;
    return mode;
}

namespace modMenu {

ViewProcedures& Views()
{
    static ViewProcedures views;
    return views;
}

ViewProcedures InstallViews(ViewProcedures procedures)
{
    return std::exchange(Views(), std::move(procedures));
}

QString NotAvailableText()
{
    return QStringLiteral("Not available yet");
}

namespace detail {

template <class F, class... Args>
void call(const F& procedure, Args&&... args)
{
    if (procedure)
        procedure(std::forward<Args>(args)...);
    else
        Status::Message(NotAvailableText());
}

} // namespace detail

using detail::call;

void SetLimits() { call(Views().SetLimits); }
void MenuBProp() { call(Views().MenuBProp); }
void TrainBar(const QString& toolName)
{
    if (!gCommands().HasRows(CommandBar::Training)) {
        Status::Message(NotAvailableText());
        return;
    }
    Procedure(QStringLiteral("modMenu::TrainBar"), [&] {
        gCommands().Run(CommandBar::Training, {qobject_cast<frmMain*>(gVeltra().MainForm()), toolName, 0});
    });
}
void ShowGraph(bool checked) { call(Views().ShowGraph, checked); }
void BrowseTest() { call(Views().BrowseTest); }
void BrowseTestWorstFirst() { call(Views().BrowseTestWorstFirst); }
void BrowseOutlyers(const QString& predicted, const QString& actual) { call(Views().BrowseOutlyers, predicted, actual); }
void MENU_SFShowErrors() { call(Views().MENU_SFShowErrors); }
void MENU_SFShowCorrect() { call(Views().MENU_SFShowCorrect); }
void ShowDefBrowser() { call(Views().ShowDefBrowser); }
void SortASC() { call(Views().SortASC); }
void SortDESC() { call(Views().SortDESC); }
void MenuFind() { call(Views().MenuFind); }
void MENU_SFFindError() { call(Views().MENU_SFFindError); }
void BrowseMenuOpen() { call(Views().BrowseMenuOpen); }
void BrowseMenuClose() { call(Views().BrowseMenuClose); }
void MarkAllCurrent(int mode) { call(Views().MarkAllCurrent, mode); }
void MarkSelected() { call(Views().MarkSelected); }
void TestShow() { call(Views().TestShow); }
void ShowCMatrix() { call(Views().ShowCMatrix); }
void ShowScatter() { call(Views().ShowScatter); }
void ShowSeries() { call(Views().ShowSeries); }

} // namespace modMenu

void modMenu::EditConfigure(bool createdByNew)
{
    Procedure(QStringLiteral("modMenu::EditConfigure"), [&] {
        CHourglass hourglass(true);
        CUpdateLock lock(gVeltra().MainForm());
        RemoveChildForms();
        if (!Views().ShowConfigure) {
            // Nothing would give the tools back, so they stay as they are.
            Status::Message(NotAvailableText());
            return;
        }
        Views().ShowConfigure(createdByNew);
        Utilities::TmpDisableTools();
    });
}

void modMenu::CloseBrowsers()
{
    if (Views().CloseBrowsers) {
        Views().CloseBrowsers();
        return;
    }
    // Without the browse library: every registered browse window closes, so that none holds
    // the project file open.
    for (auto& entry : gVeltra().Project().Forms()) {
        IgnoreErrors([&] {
            if (entry.form && entry.form->objectName() == QLatin1String("frmBrowse"))
                entry.form->deleteLater();
        });
    }
}
