#include "core/widgets/screenprint.h"

#include "core/apppaths.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/printfit.h"
#include "core/prompts.h"
#include "core/widgets/veltra.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace {
const QString kPrintTitle = QStringLiteral("MScreenPrint::PrintPictureToFitPage");

void raiseInvalid(const char* what)
{
    throw KvError(KvErr::InvalidCall, QString(), QString::fromLatin1(what));
}

void requirePicture(const QPixmap& picture)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        raiseInvalid("There is no picture to print.");
}
} // namespace

QPixmap MScreenPrint::CreateBitmapPicture(const QImage& bitmap)
{
    QPixmap picture;
    Procedure(QStringLiteral("MScreenPrint::CreateBitmapPicture"), [&] {
        if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
            raiseInvalid("The window gave no picture.");
        picture = QPixmap::fromImage(bitmap);
    });
    return picture;
}

QPixmap MScreenPrint::CaptureWindow(QWidget* window, bool clientArea, int left, int top, int width,
                                    int height)
{
    QImage bitmap;
    const bool ok = Procedure(QStringLiteral("MScreenPrint::CaptureWindow"), [&] {
        if (!window)
            throw KvError(KvErr::ObjectNotSet);
        if (width <= 0 || height <= 0)
            raiseInvalid("The window has no area to capture.");
        QWidget* source = window;
        if (clientArea) {
            if (auto* main = qobject_cast<QMainWindow*>(window); main && main->centralWidget())
                source = main->centralWidget();
        }
        bitmap = source->grab(QRect(left, top, width, height)).toImage();
    });
    if (!ok)
        return {};
    return CreateBitmapPicture(bitmap);
}

QPixmap MScreenPrint::CaptureActiveWindow()
{
    QWidget* window = nullptr;
    const bool ok = Procedure(QStringLiteral("MScreenPrint::CaptureActiveWindow"), [&] {
        window = QApplication::activeWindow();
        if (!window)
            window = gVeltra().MainForm();
        if (!window)
            throw KvError(KvErr::ObjectNotSet);
    });
    if (!ok)
        return {};
    return CaptureWindow(window, false, 0, 0, window->width(), window->height());
}

bool MScreenPrint::PrintPictureToFitPage(QPrinter& printer, const QPixmap& picture)
{
    bool printed = false;
    Procedure(kPrintTitle, [&] {
        // Checked before the printer is touched, so that no blank page comes out.
        requirePicture(picture);
        const auto orientation = PrintFit::OrientationFor(QSizeF(picture.size()));
        printer.setPageOrientation(orientation == PrintFit::Orientation::Portrait ? QPageLayout::Portrait
                                                                                  : QPageLayout::Landscape);
        // The printable area as the printer reports it after the orientation is set, in inches:
        // printer pixels are not square on every device, screen pixels are.
        const double dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
        if (dpiX <= 0 || dpiY <= 0)
            raiseInvalid("The printer reports no resolution.");
        const QSizeF printablePixels = printer.pageRect(QPrinter::DevicePixel).size();
        const QSizeF printable(printablePixels.width() / dpiX, printablePixels.height() / dpiY);
        const QSizeF fitted = PrintFit::FitToPage(QSizeF(picture.size()), printable);
        if (fitted.isEmpty())
            raiseInvalid("The printer reports no printable area.");
        const QSizeF drawn(fitted.width() * dpiX, fitted.height() * dpiY);
        QPainter painter;
        if (!painter.begin(&printer))
            throw KvError(KvErr::DeviceIO);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRectF(QPointF(0, 0), drawn), picture, QRectF(picture.rect()));
        printed = painter.end();
        if (!printed)
            throw KvError(KvErr::DeviceIO);
    });
    return printed;
}

bool MScreenPrint::PrintOnDefaultPrinter(const QPixmap& picture)
{
    if (!Procedure(kPrintTitle, [&] { requirePicture(picture); }))
        return false;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        QPrinter printer(info, QPrinter::HighResolution);
        return PrintPictureToFitPage(printer, picture);
    }
    CCommonDialog dialog;
    dialog.SetDialogTitle(QStringLiteral("Print To PDF File"));
    dialog.SetFilter(QStringLiteral("PDF Document (*.pdf)|*.pdf"));
    dialog.SetFilterIndex(1);
    dialog.SetDefaultExt(QStringLiteral("pdf"));
    dialog.SetInitDir(AppPaths::ProgramFolder());
    dialog.SetFileName(QStringLiteral("Korvan Print.pdf"));
    dialog.SetFlags(dialog.Flags() + 4);
    for (;;) {
        dialog.ShowSave();
        if (dialog.UserCancel())
            return false;
        if (!QFile::exists(dialog.FileName()))
            break;
        const MsgResult answer = Prompts::MsgBox(dialog.FileName() + QStringLiteral(" exists.  Overwrite?"),
                                                 MsgButtons::YesNo, MsgIcon::Exclamation,
                                                 QStringLiteral("Print To PDF File"));
        if (answer == MsgResult::Yes)
            break;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dialog.FileName());
    return PrintPictureToFitPage(printer, picture);
}
