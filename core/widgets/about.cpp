#include "core/widgets/about.h"

#include "core/errorbox.h"
#include "core/widgets/winhelpers.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Our own mark: the product's gradient with its initial, nobody else's logo.
QPixmap productLogo()
{
    QPixmap logo(64, 64);
    QPainter painter(&logo);
    Utilities::PaintGradient(painter, logo.rect(), Utilities::GradientTop, Utilities::GradientBottom);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("K"));
    return logo;
}

QFrame* separatorLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

QString frmAbout::AppTitle()
{
    return QStringLiteral("Korvan Pro");
}

QString frmAbout::MakerAddress()
{
    return QStringLiteral("https://veltra.example");
}

QString frmAbout::MakerNotice()
{
    return QStringLiteral("Copyright \u00A9 Veltra. All rights reserved. This program is protected "
                          "by copyright law; unauthorised copying or distribution of it, or of any "
                          "part of it, is not permitted.");
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    setWindowTitle(QStringLiteral("About ") + AppTitle());

    auto* picture = label(this, "Picture1", QString());
    picture->setPixmap(productLogo());

    // The title with its shadow: the same caption twice, the shadow a little down and right.
    auto* titleBox = new QWidget(this);
    auto* shadow = label(titleBox, "lblTitleShadow", QString());
    auto* title = label(titleBox, "lblTitle", QString());
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    shadow->setFont(titleFont);
    title->setText(QStringLiteral("Korvan Pro 2.3"));
    shadow->setText(title->text());
    shadow->setStyleSheet(QStringLiteral("color: gray;"));
    title->adjustSize();
    shadow->adjustSize();
    title->move(0, 0);
    shadow->move(2, 2);
    titleBox->setMinimumSize(title->width() + 2, title->height() + 2);

    auto* desc = label(this, "lblDesc", QStringLiteral("A Complete Neural Network Development System")
                                            + QLatin1Char('\n')
                                            + QStringLiteral("For Data Mining and Data Prediction. "));
    auto* quote = label(this, "lblQuote", QStringLiteral("\"Discover The Patterns In Your Data\""));
    QFont quoteFont = quote->font();
    quoteFont.setItalic(true);
    quote->setFont(quoteFont);
    auto* version = label(this, "lblVersion", QStringLiteral("Version Information:"));
    auto* copyright = label(this, "lblCopyright", MakerNotice());
    copyright->setWordWrap(true);
    m_link = label(this, "lblLink", MakerAddress());
    m_link->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(titleBox, 0, 1);
    layout->addWidget(desc, 1, 1);
    layout->addWidget(quote, 2, 1);
    layout->addWidget(separatorLine(this), 3, 0, 1, 2);
    layout->addWidget(version, 4, 0, 1, 2);
    layout->addWidget(copyright, 5, 0, 1, 2);
    layout->addWidget(m_link, 6, 0, 1, 2);
    layout->addWidget(separatorLine(this), 7, 0, 1, 2);
    layout->addWidget(ok, 8, 1, Qt::AlignRight);
}

bool frmAbout::ShellOpen(const QString& document)
{
    bool opened = false;
    IgnoreErrors([&] { opened = QDesktopServices::openUrl(QUrl::fromUserInput(document)); });
    return opened;
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QDialog::keyPressEvent(event);
}

void frmAbout::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QDialog::keyReleaseEvent(event);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_link && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            ShellOpen(MakerAddress());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
