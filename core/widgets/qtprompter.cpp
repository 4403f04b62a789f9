#include "core/widgets/qtprompter.h"

#include "core/widgets/helpwindow.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// The non-native file dialog, taking a typed path with a double quote in it as the one path it
// is (see TypedPathWithQuote).
class FileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // The path taken as typed; empty when the dialog chose by its own reading.
    const QString& TypedPath() const { return m_typed; }

    void accept() override
    {
        m_typed.clear();
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString path = edit ? TypedPathWithQuote(edit->text(), directory().absolutePath(),
                                                       fileMode() == QFileDialog::ExistingFile)
                                  : QString();
        if (path.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        const QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(path);
            if (auto* e = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                e->clear();
            return;
        }
        m_typed = path;
        // A new file typed without a suffix gets the default one, as the dialog gives it.
        if (!info.exists() && !defaultSuffix().isEmpty() && !info.fileName().contains(QLatin1Char('.')))
            m_typed += QLatin1Char('.') + defaultSuffix();
        QDialog::accept();
    }

private:
    QString m_typed;
};

// Room beside a window title for the frame's icon, its buttons and margins (pixels).
constexpr int kTitleFrameAllowance = 140;

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSpec {
    QMessageBox::StandardButton qt;
    MsgResult result;
};

std::vector<ButtonSpec> buttonsOf(MsgButtons buttons)
{
    using B = QMessageBox;
    switch (buttons) {
    case MsgButtons::Ok: return {{B::Ok, MsgResult::Ok}};
    case MsgButtons::OkCancel: return {{B::Ok, MsgResult::Ok}, {B::Cancel, MsgResult::Cancel}};
    case MsgButtons::AbortRetryIgnore:
        return {{B::Abort, MsgResult::Abort}, {B::Retry, MsgResult::Retry}, {B::Ignore, MsgResult::Ignore}};
    case MsgButtons::YesNoCancel:
        return {{B::Yes, MsgResult::Yes}, {B::No, MsgResult::No}, {B::Cancel, MsgResult::Cancel}};
    case MsgButtons::YesNo: return {{B::Yes, MsgResult::Yes}, {B::No, MsgResult::No}};
    case MsgButtons::RetryCancel: return {{B::Retry, MsgResult::Retry}, {B::Cancel, MsgResult::Cancel}};
    }
    return {{B::Ok, MsgResult::Ok}};
}

int32_t bgrFromColor(const QColor& color)
{
    return int32_t(color.red()) | (int32_t(color.green()) << 8) | (int32_t(color.blue()) << 16);
}

} // namespace

QWidget* QtPrompter::PromptParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return gVeltra().MainForm();
}

QWidget* QtPrompter::ParentFor(QObject* owner)
{
    if (auto* widget = qobject_cast<QWidget*>(owner))
        return widget->window();
    return PromptParent();
}

MsgResult QtPrompter::messageBox(const MessageRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    QMessageBox box(qtIcon(request.icon), request.title.isEmpty() ? QStringLiteral("Korvan Pro") : request.title,
                    request.text, QMessageBox::NoButton, PromptParent());
    const auto specs = buttonsOf(request.buttons);
    for (size_t i = 0; i < specs.size(); ++i) {
        QPushButton* b = box.addButton(specs[i].qt);
        if (int(i) + 1 == request.defaultButton)
            box.setDefaultButton(b);
    }
    // The box is at least wide enough for the window manager to show its whole title (the
    // titles name procedures, "modMenu::TestForRawFile"): the title in a bold face, plus the
    // frame's icon and buttons. A message box sizes itself; a spacer row widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleFrameAllowance;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& spec : specs)
        if (spec.qt == clicked)
            return spec.result;
    // Closed without a button: the cancel-like answer of the set.
    return specs.size() == 1 ? specs.front().result : specs.back().result;
}

QString TypedPathWithQuote(const QString& typed, const QString& folder, bool mustExist)
{
    if (!typed.contains(QLatin1Char('"')))
        return {};
    QString path = typed;
    if (path.startsWith(QStringLiteral("~/")))
        path = QDir::homePath() + path.mid(1);
    const QFileInfo info(QDir(folder).absoluteFilePath(path));
    if (info.exists())
        return info.absoluteFilePath();
    if (mustExist || typed.startsWith(QLatin1Char('"')) || !QFileInfo(info.absolutePath()).isDir())
        return {};
    return info.absoluteFilePath();
}

QStringList QtNameFilters(const QString& classicFilter)
{
    QStringList filters;
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        // A description that already ends in its patterns ("Korvan Projects (*.kvp)") is shown
        // as it is written; Qt reads the patterns from those parentheses.
        QString shown = parts[i].trimmed();
        const qsizetype open = shown.lastIndexOf(QLatin1Char('('));
        QString inParentheses = open >= 0 && shown.endsWith(QLatin1Char(')'))
                                    ? shown.mid(open + 1, shown.size() - open - 2)
                                    : QString();
        inParentheses.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns.isEmpty())
            filters << shown;
        else if (open >= 0 && inParentheses.simplified().compare(patterns, Qt::CaseInsensitive) == 0)
            filters << shown;
        else
            filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

FileDialogResult QtPrompter::fileDialog(const FileDialogRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    FileDialog dialog(ParentFor(request.owner), request.title, request.initialDir);
    dialog.setObjectName(QStringLiteral("dlgFile"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // The callers ask their own overwrite question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const bool save = request.kind == FileDialogRequest::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist yet is taken unless the caller asks for an existing file: the
    // new-project dialog is an open dialog that names a file to create, and the other callers
    // say themselves when a chosen file is missing.
    constexpr int32_t kFileMustExist = 0x1000;
    dialog.setFileMode(!save && (request.flags & kFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Name filters match without regard to case, as the data files come from other systems
    // with upper-case names.
    QDir::Filters listing = dialog.filter();
    listing.setFlag(QDir::CaseSensitive, false);
    dialog.setFilter(listing);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(qBound(0, request.filterIndex - 1, int(filters.size()) - 1)));
    }
    if (!request.defaultExt.isEmpty()) {
        QString suffix = request.defaultExt;
        suffix.remove(QLatin1Char('*'));
        while (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
    }
    if (request.fileName.contains(QLatin1Char('*')) || request.fileName.contains(QLatin1Char('?'))) {
        // A name of wildcards ("*.mdb;*.kvs") lists what it matches until another file type
        // is chosen, whatever type the list shows first: the data-source choice offers the
        // sample data (.kvs) beside the .mdb files.
        QStringList patterns;
        for (const QString& pattern : request.fileName.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << pattern.trimmed();
        if (auto* files = dialog.findChild<QFileSystemModel*>())
            files->setNameFilters(patterns);
    } else if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }

    QCheckBox* readOnly = nullptr;
    constexpr int32_t kHideReadOnly = 4;
    if (!save && !(request.flags & kHideReadOnly)) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            readOnly = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
            readOnly->setObjectName(QStringLiteral("chkReadOnly"));
            grid->addWidget(readOnly, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }

    bool closedByHook = false;
    if (request.filterHook) {
        // Taken by value: the handler runs inside exec(), after this block has ended.
        QComboBox* typeList = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&, typeList](const QString& filter) {
            // The list's own position: two entries may read the same.
            const int entry = typeList ? typeList->currentIndex() : int(filters.indexOf(filter));
            if (closedByHook || !request.filterHook(entry))
                return;
            closedByHook = true;
            // Closed after the combo box has finished its own handling.
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        });
    }

    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || closedByHook)
        return result;
    result.fileName = dialog.TypedPath();
    if (result.fileName.isEmpty()) {
        if (dialog.selectedFiles().isEmpty())
            return result;
        result.fileName = dialog.selectedFiles().constFirst();
    }
    result.cancelled = false;
    result.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (readOnly && readOnly->isChecked())
        result.flags |= 1;
    return result;
}

ColorDialogResult QtPrompter::colorDialog(const ColorDialogRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    // The sixteen custom colours start white on every call.
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, Qt::white);
    QColorDialog dialog(Utilities::ColorFromBgr(uint32_t(request.color)), ParentFor(request.owner));
    dialog.setObjectName(QStringLiteral("dlgColor"));
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    ColorDialogResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;
    result.cancelled = false;
    result.color = bgrFromColor(dialog.selectedColor());
    return result;
}

FontDialogResult QtPrompter::fontDialog(const FontDialogRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    QFont initial = QApplication::font();
    if (!request.name.isEmpty())
        initial.setFamily(request.name);
    if (request.pointSize > 0)
        initial.setPointSize(request.pointSize);
    initial.setBold(request.bold);
    initial.setItalic(request.italic);
    initial.setUnderline(request.underline);
    initial.setStrikeOut(request.strikethru);
    QFontDialog dialog(initial, ParentFor(request.owner));
    dialog.setObjectName(QStringLiteral("dlgFont"));
    dialog.setOption(QFontDialog::DontUseNativeDialog, true);
    FontDialogResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;
    const QFont font = dialog.selectedFont();
    result.cancelled = false;
    result.name = font.family();
    result.pointSize = font.pointSizeF();
    result.bold = font.weight() >= QFont::Bold;
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikethru = font.strikeOut();
    result.color = request.color;
    return result;
}

PrintDialogResult QtPrompter::printDialog(const PrintDialogRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    QPrinter printer;
    printer.setCopyCount(qMax(1, request.copies));
    QPrintDialog dialog(&printer, ParentFor(request.owner));
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    if (request.maxPage > 0)
        dialog.setMinMax(qMax(1, request.minPage), request.maxPage);
    if (request.fromPage > 0 && request.toPage >= request.fromPage) {
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setFromTo(request.fromPage, request.toPage);
    }
    PrintDialogResult result;
    if (dialog.exec() != QDialog::Accepted)
        return result;
    result.cancelled = false;
    result.fromPage = dialog.fromPage();
    result.toPage = dialog.toPage();
    result.minPage = dialog.minPage();
    result.maxPage = dialog.maxPage();
    result.copies = printer.copyCount();
    return result;
}

bool QtPrompter::showHelp(const HelpRequest& request)
{
    constexpr int32_t kHelpQuit = 2;
    if (request.command == kHelpQuit) {
        HelpWindow::Close();
        return true;
    }
    return HelpWindow::Show(request.context) != nullptr;
}
