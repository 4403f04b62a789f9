#include "core/errorbox.h"

#include "core/prompts.h"

QString ErrorBox::StandardText(const KvError& error)
{
    return QStringLiteral("Error: %1. \n%2").arg(error.number()).arg(error.description());
}

void ErrorBox::ShowStandard(const KvError& error, const QString& title)
{
    if (error.shown())
        return;
    Prompts::MsgBox(StandardText(error), MsgButtons::Ok, MsgIcon::Critical, title);
}

QString ErrorBox::PlainText(const KvError& error)
{
    return QStringLiteral("Error: %1. %2").arg(error.number()).arg(error.description());
}

void ErrorBox::ShowPlain(const KvError& error, const QString& title)
{
    if (error.shown())
        return;
    Prompts::MsgBox(PlainText(error), MsgButtons::Ok, MsgIcon::None, title);
}

QString ErrorBox::BareText(const KvError& error)
{
    return QStringLiteral("Error: %1\n%2").arg(error.number()).arg(error.description());
}

void ErrorBox::ShowBare(const KvError& error, const QString& title)
{
    if (error.shown())
        return;
    Prompts::MsgBox(BareText(error), MsgButtons::Ok, MsgIcon::Critical, title);
}
