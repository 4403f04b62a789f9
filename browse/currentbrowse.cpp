#include "browse/currentbrowse.h"

#include "core/errorbox.h"

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

void CurrentBrowse::Release()
{
    IgnoreErrors([] { gIMode().reset(); });
    IgnoreErrors([] { gDataBrowse().reset(); });
    IgnoreErrors([] { gBrowseForm() = nullptr; });
}
