#include "core/widgets/qtprompter.h"

#include "core/widgets/veltra.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

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

} // namespace

QWidget* QtPrompter::PromptParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return gVeltra().MainForm();
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
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& spec : specs)
        if (spec.qt == clicked)
            return spec.result;
    // Closed without a button: the cancel-like answer of the set.
    return specs.size() == 1 ? specs.front().result : specs.back().result;
}

QStringList QtNameFilters(const QString& classicFilter)
{
    QStringList filters;
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.trimmed());
    }
    return filters;
}

FileDialogResult QtPrompter::fileDialog(const FileDialogRequest& request)
{
    if (m_beforePrompt)
        m_beforePrompt();
    QFileDialog dialog(PromptParent(), request.title, request.initialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(request.kind == FileDialogRequest::Kind::Save ? QFileDialog::AcceptSave
                                                                        : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.kind == FileDialogRequest::Kind::Save ? QFileDialog::AnyFile
                                                                      : QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(qBound(0, request.filterIndex - 1, int(filters.size()) - 1)));
    }
    if (!request.defaultExt.isEmpty())
        dialog.setDefaultSuffix(request.defaultExt);
    if (!request.fileName.isEmpty() && !request.fileName.contains(QLatin1Char('*')))
        dialog.selectFile(request.fileName);
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    result.cancelled = false;
    result.fileName = dialog.selectedFiles().constFirst();
    result.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return result;
}
