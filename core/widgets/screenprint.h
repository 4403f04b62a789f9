// Window capture and printing: what one of the program's windows shows becomes a picture, and
// a picture is printed scaled to fit the page, on the default printer or, without one, into a
// PDF file.
#pragma once

#include <QPixmap>

class QImage;
class QPrinter;
class QWidget;

namespace MScreenPrint {
// The picture of a bitmap; none (and the error box) for an empty bitmap.
QPixmap CreateBitmapPicture(const QImage& bitmap);
// A rectangle of a window (device pixels, relative to the whole window, or with `clientArea`
// to its client area: a main window's central area). No picture, after the error box, for a
// missing window or a rectangle without area. The window manager's frame is not part of it.
QPixmap CaptureWindow(QWidget* window, bool clientArea, int left, int top, int width, int height);
// The whole of the program's active window (the main window when none is active).
QPixmap CaptureActiveWindow();
// Sets the orientation that suits the picture, prints it at the top-left corner of the
// printable area as large as fits with its proportions kept, and ends the document. A missing
// or empty picture prints nothing. Answers whether the page was printed; failures show the
// error box.
bool PrintPictureToFitPage(QPrinter& printer, const QPixmap& picture);
// Prints on the default printer; without one, asks for a PDF file and prints into it. Answers
// false when nothing was printed (no picture, a cancelled file choice, a failure).
bool PrintOnDefaultPrinter(const QPixmap& picture);
}
