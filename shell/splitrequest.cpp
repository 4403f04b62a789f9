#include "shell/splitrequest.h"

#include "shell/viewprocs.h"

#include <QDialog>

void SplitRequest::EndDialog(QDialog& dialog)
{
    dialog.done(Outcome);
}

bool SplitRequest::RunAfter(int result)
{
    if (result != Outcome)
        return false;
    modMenu::SetLimits();
    return true;
}
