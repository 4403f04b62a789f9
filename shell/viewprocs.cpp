#include "shell/viewprocs.h"

#include "core/status.h"

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
void TrainBar(const QString& toolName) { call(Views().TrainBar, toolName); }
void BrowseTest() { call(Views().BrowseTest); }
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

// Placeholders until the project-commands work lands: the configuration window alone, and the
// browse windows closed through the installed procedure when there is one.
void modMenu::EditConfigure(bool createdByNew) { modMenu::detail::call(Views().ShowConfigure, createdByNew); }
void modMenu::CloseBrowsers()
{
    if (Views().CloseBrowsers)
        Views().CloseBrowsers();
}
