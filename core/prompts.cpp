#include "core/prompts.h"

#include "core/serviceslot.h"
#include "core/status.h"

#include <QStringList>

namespace {

class SilentPrompter final : public IPrompter {
public:
    MsgResult messageBox(const MessageRequest& request) override
    {
        return request.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
};

ServiceSlot<IPrompter> g_slot;

constexpr qsizetype kLongestWord = 100;
constexpr qsizetype kLongestText = 1500;
constexpr qsizetype kMostLines = 30;
const QString kEllipsis = QStringLiteral("\u2026");

// The first `n` characters, never half of a surrogate pair.
QString headOf(const QString& s, qsizetype n)
{
    if (n > 0 && n < s.size() && s[n - 1].isHighSurrogate())
        --n;
    return s.left(n);
}

QString tailOf(const QString& s, qsizetype n)
{
    if (n > 0 && n < s.size() && s[s.size() - n].isLowSurrogate())
        --n;
    return s.right(n);
}

QString shortWords(const QString& line)
{
    QString out;
    qsizetype start = 0;
    while (start < line.size()) {
        qsizetype end = start;
        const bool blank = line[start].isSpace();
        while (end < line.size() && line[end].isSpace() == blank)
            ++end;
        const QString run = line.mid(start, end - start);
        if (!blank && run.size() > kLongestWord)
            out += headOf(run, kLongestWord * 7 / 10) + kEllipsis + tailOf(run, kLongestWord / 4);
        else
            out += run;
        start = end;
    }
    return out;
}


} // namespace

IPrompter& Prompts::Current()
{
    static SilentPrompter silent;
    return g_slot.GetOr(silent);
}

IPrompter* Prompts::Install(IPrompter* prompter)
{
    return g_slot.Install(prompter);
}

QString Prompts::Shortened(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > kMostLines) {
        const QStringList tail = lines.mid(lines.size() - 4);
        lines = lines.mid(0, kMostLines - 5);
        lines << kEllipsis << tail;
    }
    for (QString& line : lines)
        line = shortWords(line);
    QString out = lines.join(QLatin1Char('\n'));
    if (out.size() > kLongestText)
        out = headOf(out, kLongestText * 4 / 5) + QLatin1Char(' ') + kEllipsis + QLatin1Char(' ')
              + tailOf(out, kLongestText / 6);
    return out;
}

MsgResult Prompts::MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                          const QString& title, int defaultButton)
{
    MessageRequest request;
    request.text = Shortened(text);
    request.title = Shortened(title);
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    // A box that only tells is an error or a refusal: no command's success may stand beside it.
    if (buttons == MsgButtons::Ok && icon != MsgIcon::Information)
        Status::Failed();
    return Current().messageBox(request);
}
