// The message forms of the error convention and the procedure wrappers that show them:
// procedures of windows and modules trap their errors and show one box titled with their name.
#pragma once

#include "core/kverror.h"

#include <QString>

namespace ErrorBox {
// The standard form: "Error: <n>. " + line break + description, OK, critical icon.
QString StandardText(const KvError& error);
void ShowStandard(const KvError& error, const QString& title);
// The older plain form: "Error: <n>. <description>" on one line, OK, no icon.
QString PlainText(const KvError& error);
void ShowPlain(const KvError& error, const QString& title);
// The form without ". " after the number, used by a few helpers: "Error: <n>" + line break +
// description, critical icon.
QString BareText(const KvError& error);
void ShowBare(const KvError& error, const QString& title);

// One user action whose steps fail for one reason (every write of a Finish on a full disk, each
// field of a damaged file) says it once: while a guard lives, an error box of the same number
// as one already shown in its action is not shown again. Guards nest; the outermost one is
// the action.
class COneBoxPerFailure {
public:
    COneBoxPerFailure();
    ~COneBoxPerFailure();
    COneBoxPerFailure(const COneBoxPerFailure&) = delete;
    COneBoxPerFailure& operator=(const COneBoxPerFailure&) = delete;
};
}

// Runs a procedure body; on any failure shows the standard form titled `title`
// ("modMenu::FileOpen") and answers false. A function keeps in its own result variable what
// the body had set before the failure.
template <class Body>
bool Procedure(const QString& title, Body&& body)
{
    try {
        body();
        return true;
    } catch (...) {
        ErrorBox::ShowStandard(CurrentError(), title);
        return false;
    }
}

// The same with the older plain form.
template <class Body>
bool PlainProcedure(const QString& title, Body&& body)
{
    try {
        body();
        return true;
    } catch (...) {
        ErrorBox::ShowPlain(CurrentError(), title);
        return false;
    }
}

// One statement whose failure is skipped silently, for the procedures that ignore errors
// statement by statement. Answers whether the statement ran through.
template <class Statement>
bool IgnoreErrors(Statement&& statement)
{
    try {
        statement();
        return true;
    } catch (...) {
        return false;
    }
}
