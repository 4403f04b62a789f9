// The common dialogs behind one property bag: open and save file, colour, font, print and
// help. A caller makes one object per use, sets what it needs, calls one Show operation (it
// returns when the dialog closes) and reads UserCancel and the results. The dialogs are shown
// by the installed prompter, so tests answer them without a window.
#pragma once

#include "core/kverror.h"

#include <QString>
#include <cstdint>
#include <functional>

class QObject;

// The file-type hook of the open and save dialogs: told the 0-based entry of the type list the
// user just picked; answering true closes the dialog as cancelled.
using FileDialogHookFn = std::function<bool(int typeListEntry)>;

class CCommonDialog {
public:
    // Cancelling a colour dialog with CancelError set raises this number, "Cancel Pressed".
    static constexpr int32_t kCancelErrorNumber = -2147220610;

    // The hook is kept for every later ShowOpen and ShowSave of this object.
    void SetUserHook(FileDialogHookFn hook) { m_hook = std::move(hook); }
    const FileDialogHookFn& GetUserHook() const { return m_hook; }

    bool UserCancel() const { return m_userCancel; }
    QString Filter() const { return m_filter; }
    void SetFilter(const QString& v) { m_filter = v; }
    QObject* hWnd() const { return m_owner; }
    void SethWnd(QObject* owner) { m_owner = owner; }

    void ShowColor();
    void ShowFont();
    void ShowHelp();
    void ShowOpen();
    void ShowPrinter();
    void ShowSave();

    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& v) { m_fileName = v; }
    int16_t Action() const { return m_action; }

    int16_t FilterIndex() const { return m_filterIndex; }
    void SetFilterIndex(int16_t v) { m_filterIndex = v; }
    bool CancelError() const { return m_cancelError; }
    void SetCancelError(bool v) { m_cancelError = v; }
    int32_t Color() const { return m_color; }
    void SetColor(int32_t v) { m_color = v; }
    int32_t Copies() const { return m_copies; }
    void SetCopies(int32_t v) { m_copies = v; }
    QString DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const QString& v) { m_defaultExt = v; }
    QString DialogTitle() const { return m_dialogTitle; }
    void SetDialogTitle(const QString& v) { m_dialogTitle = v; }
    // The flag word of whichever dialog is shown; 4 hides the read-only box of the file
    // dialogs. After a chosen file: the flags the dialog returned (1 = read-only ticked).
    int32_t Flags() const { return m_flags; }
    void SetFlags(int32_t v) { m_flags = v; }
    bool FontBold() const { return m_fontBold; }
    void SetFontBold(bool v) { m_fontBold = v; }
    bool FontItalic() const { return m_fontItalic; }
    void SetFontItalic(bool v) { m_fontItalic = v; }
    QString FontName() const { return m_fontName; }
    void SetFontName(const QString& v) { m_fontName = v; }
    int32_t FontSize() const { return m_fontSize; }
    void SetFontSize(int32_t v) { m_fontSize = v; }
    bool FontStrikethru() const { return m_fontStrikethru; }
    void SetFontStrikethru(bool v) { m_fontStrikethru = v; }
    bool FontUnderline() const { return m_fontUnderline; }
    void SetFontUnderline(bool v) { m_fontUnderline = v; }
    int32_t FromPage() const { return m_fromPage; }
    void SetFromPage(int32_t v) { m_fromPage = v; }
    int32_t hDC() const { return m_hDC; }
    void SethDC(int32_t v) { m_hDC = v; }
    int32_t HelpCommand() const { return m_helpCommand; }
    void SetHelpCommand(int32_t v) { m_helpCommand = v; }
    QString HelpContext() const { return m_helpContext; }
    void SetHelpContext(const QString& v) { m_helpContext = v; }
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString& v) { m_helpFile = v; }
    QString HelpKey() const { return m_helpKey; }
    void SetHelpKey(const QString& v) { m_helpKey = v; }
    QString InitDir() const { return m_initDir; }
    void SetInitDir(const QString& v) { m_initDir = v; }
    int32_t Max() const { return m_max; }
    void SetMax(int32_t v) { m_max = v; }
    int32_t MaxFileSize() const { return m_maxFileSize; }
    void SetMaxFileSize(int32_t v) { m_maxFileSize = v; }
    int32_t Min() const { return m_min; }
    void SetMin(int32_t v) { m_min = v; }
    QObject* Object() const { return m_object; }
    void SetObject(QObject* v) { m_object = v; }
    bool PrinterDefault() const { return m_printerDefault; }
    void SetPrinterDefault(bool v) { m_printerDefault = v; }
    int32_t ToPage() const { return m_toPage; }
    void SetToPage(int32_t v) { m_toPage = v; }
    QString FileTitle() const { return m_fileTitle; }
    void SetFileTitle(const QString& v) { m_fileTitle = v; }

    int32_t APIReturn() const { return m_apiReturn; }
    int32_t ExtendedError() const { return m_extendedError; }

private:
    enum class FileKind { Open = 1, Save = 2 };
    void ShowFileDialog(FileKind kind);

    FileDialogHookFn m_hook;
    bool m_userCancel = false;
    QString m_filter;
    QObject* m_owner = nullptr;
    QString m_fileName;
    int16_t m_action = 0;
    int16_t m_filterIndex = 0;
    bool m_cancelError = false;
    int32_t m_color = 0;
    int32_t m_copies = 1;
    QString m_defaultExt;
    QString m_dialogTitle;
    int32_t m_flags = 0;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    QString m_fontName;
    int32_t m_fontSize = 0;
    bool m_fontStrikethru = false;
    bool m_fontUnderline = false;
    int32_t m_fromPage = 0;
    int32_t m_hDC = 0;
    int32_t m_helpCommand = 0;
    QString m_helpContext = QStringLiteral("0");
    QString m_helpFile;
    QString m_helpKey;
    QString m_initDir;
    int32_t m_max = 0;
    int32_t m_maxFileSize = 260;
    int32_t m_min = 0;
    QObject* m_object = nullptr;
    bool m_printerDefault = true;
    int32_t m_toPage = 0;
    QString m_fileTitle;
    int32_t m_apiReturn = 0;
    int32_t m_extendedError = 0;
};

namespace dbUtilities {
// The rule of the data-source dialog's hook: picking the fourth type-list entry (the "ODBC () "
// entry) answers true, which closes the dialog as cancelled; other entries change only the
// listing.
bool FileDialogHook(int typeListEntry);
}
