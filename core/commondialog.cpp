#include "core/commondialog.h"

#include "core/errorbox.h"
#include "core/prompts.h"

#include <QFileInfo>
#include <cmath>
#include <limits>


namespace {
constexpr int32_t kEnableHookFlag = 0x20;
constexpr int kMaxFaceName = 31;

bool fitsInt16(int32_t v)
{
    return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max();
}
} // namespace

void CCommonDialog::ShowOpen()
{
    ShowFileDialog(FileKind::Open);
}

void CCommonDialog::ShowSave()
{
    ShowFileDialog(FileKind::Save);
}

void CCommonDialog::ShowFileDialog(FileKind kind)
{
    m_apiReturn = 0;
    m_extendedError = 0;
    IgnoreErrors([&] {
        m_action = int16_t(kind);
        FileDialogRequest request;
        request.kind = kind == FileKind::Save ? FileDialogRequest::Kind::Save : FileDialogRequest::Kind::Open;
        request.title = m_dialogTitle;
        request.filter = m_filter;
        request.filterIndex = m_filterIndex;
        request.initialDir = m_initDir;
        // The name handed over is cut to the room the caller gives it (MaxFileSize, one place
        // of which ends the name).
        request.fileName = m_maxFileSize > 1 ? m_fileName.left(m_maxFileSize - 1) : QString();
        request.defaultExt = m_defaultExt;
        request.flags = m_flags;
        request.owner = m_owner;
        if (m_hook) {
            request.flags |= kEnableHookFlag;
            request.filterHook = m_hook;
        }
        const FileDialogResult answer = Prompts::Current().fileDialog(request);
        if (answer.cancelled || answer.fileName.isEmpty()) {
            m_userCancel = true;
            return;
        }
        m_apiReturn = 1;
        m_fileName = answer.fileName;
        m_fileTitle = QFileInfo(answer.fileName).fileName();
        m_flags = request.flags | answer.flags;
        m_userCancel = false;
    });
}

void CCommonDialog::ShowColor()
{
    m_action = 3;
    m_apiReturn = 0;
    m_extendedError = 0;
    bool cancelled = false;
    IgnoreErrors([&] {
        ColorDialogRequest request;
        request.color = m_color;
        request.flags = m_flags;
        request.owner = m_owner;
        m_userCancel = false;
        const ColorDialogResult answer = Prompts::Current().colorDialog(request);
        if (answer.cancelled) {
            m_userCancel = true;
            cancelled = true;
            return;
        }
        m_apiReturn = 1;
        m_color = answer.color;
    });
    if (cancelled && m_cancelError)
        throw KvError(kCancelErrorNumber, QStringLiteral("CCommonDialog"), QStringLiteral("Cancel Pressed"));
}

void CCommonDialog::ShowFont()
{
    m_action = 4;
    m_apiReturn = 0;
    m_extendedError = 0;
    IgnoreErrors([&] {
        // A face name longer than the font record holds shows no dialog at all.
        if (m_fontName.size() > kMaxFaceName)
            return;
        FontDialogRequest request;
        request.name = m_fontName;
        request.pointSize = m_fontSize;
        request.bold = m_fontBold;
        request.italic = m_fontItalic;
        request.underline = m_fontUnderline;
        request.strikethru = m_fontStrikethru;
        request.color = m_color;
        request.flags = m_flags;
        request.owner = m_owner;
        m_userCancel = false;
        const FontDialogResult answer = Prompts::Current().fontDialog(request);
        if (answer.cancelled) {
            m_userCancel = true;
            return;
        }
        m_apiReturn = 1;
        m_fontBold = answer.bold;
        m_fontItalic = answer.italic;
        m_fontUnderline = answer.underline;
        m_fontStrikethru = answer.strikethru;
        m_fontName = answer.name.left(kMaxFaceName);
        // Whole points, a half going to the even neighbour.
        m_fontSize = int32_t(std::nearbyint(answer.pointSize));
        m_color = answer.color;
    });
}

void CCommonDialog::ShowPrinter()
{
    m_action = 5;
    m_apiReturn = 0;
    m_extendedError = 0;
    IgnoreErrors([&] {
        for (int32_t v : {m_fromPage, m_toPage, m_min, m_max, m_copies})
            if (!fitsInt16(v))
                return;
        PrintDialogRequest request;
        request.fromPage = m_fromPage;
        request.toPage = m_toPage;
        request.minPage = m_min;
        request.maxPage = m_max;
        request.copies = m_copies;
        request.flags = m_flags;
        request.owner = m_owner;
        m_userCancel = false;
        const PrintDialogResult answer = Prompts::Current().printDialog(request);
        if (answer.cancelled) {
            m_userCancel = true;
            return;
        }
        m_apiReturn = 1;
        m_fromPage = answer.fromPage;
        m_toPage = answer.toPage;
        m_min = answer.minPage;
        m_max = answer.maxPage;
        m_copies = answer.copies;
    });
}

void CCommonDialog::ShowHelp()
{
    m_action = 6;
    m_apiReturn = 0;
    m_extendedError = 0;
    m_userCancel = false;
    IgnoreErrors([&] {
        HelpRequest request;
        request.helpFile = m_helpFile;
        request.command = m_helpCommand;
        request.owner = m_owner;
        m_apiReturn = Prompts::Current().showHelp(request) ? 1 : 0;
    });
}

bool dbUtilities::FileDialogHook(int typeListEntry)
{
    return typeListEntry == 3;
}
