#include "core/errorbox.h"

#include <QList>

#include "core/prompts.h"

QString ErrorBox::StandardText(const KvError& error)
{
    return QStringLiteral("Error: %1. \n%2").arg(error.number()).arg(error.description());
}

namespace {
int g_actionDepth = 0;
QList<int32_t> g_numbersShown;

// True when the box is to be shown: no action, or its number not yet shown in this one.
bool FirstOfItsAction(const KvError& error)
{
    if (g_actionDepth == 0)
        return true;
    if (g_numbersShown.contains(error.number()))
        return false;
    g_numbersShown.append(error.number());
    return true;
}
} // namespace

ErrorBox::COneBoxPerFailure::COneBoxPerFailure()
{
    if (g_actionDepth++ == 0)
        g_numbersShown.clear();
}

ErrorBox::COneBoxPerFailure::~COneBoxPerFailure()
{
    if (--g_actionDepth == 0)
        g_numbersShown.clear();
}

void ErrorBox::ShowStandard(const KvError& error, const QString& title)
{
    if (error.shown() || !FirstOfItsAction(error))
        return;
    Prompts::MsgBox(StandardText(error), MsgButtons::Ok, MsgIcon::Critical, title);
}

QString ErrorBox::PlainText(const KvError& error)
{
    return QStringLiteral("Error: %1. %2").arg(error.number()).arg(error.description());
}

void ErrorBox::ShowPlain(const KvError& error, const QString& title)
{
    if (error.shown() || !FirstOfItsAction(error))
        return;
    Prompts::MsgBox(PlainText(error), MsgButtons::Ok, MsgIcon::None, title);
}

QString ErrorBox::BareText(const KvError& error)
{
    return QStringLiteral("Error: %1\n%2").arg(error.number()).arg(error.description());
}

void ErrorBox::ShowBare(const KvError& error, const QString& title)
{
    if (error.shown() || !FirstOfItsAction(error))
        return;
    Prompts::MsgBox(BareText(error), MsgButtons::Ok, MsgIcon::Critical, title);
}
