#include "core/printfit.h"

PrintFit::Orientation PrintFit::OrientationFor(const QSizeF& picture)
{
    return picture.height() >= picture.width() ? Orientation::Portrait : Orientation::Landscape;
}

QSizeF PrintFit::FitToPage(const QSizeF& picture, const QSizeF& printable)
{
    if (!(picture.width() > 0 && picture.height() > 0 && printable.width() > 0 && printable.height() > 0))
        return {};
    const double pictureRatio = picture.width() / picture.height();
    const double pageRatio = printable.width() / printable.height();
    if (pictureRatio >= pageRatio)
        return {printable.width(), printable.width() / pictureRatio};
    return {printable.height() * pictureRatio, printable.height()};
}
