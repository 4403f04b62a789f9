#include "core/widgets/splash.h"

#include "core/errorbox.h"
#include "core/widgets/about.h"
#include "core/widgets/winhelpers.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

namespace {
QPointer<frmSplash> g_current;
constexpr int kWidth = 480;
constexpr int kHeight = 300;

QLabel* overlay(QWidget* parent, const QString& name, const QRect& place, int pointSize, bool bold,
                Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    // Clicks on the texts reach the window, which hides itself.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    g_current = this;
    setFixedSize(kWidth, kHeight);
    m_picSplash = new QLabel(this);
    m_picSplash->setObjectName(QStringLiteral("picSplash"));
    m_picSplash->setGeometry(rect());
    m_picSplash->setPixmap(Picture(size()));
    m_picSplash->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_lblProjectName = overlay(this, QStringLiteral("lblProjectName"), QRect(24, 70, kWidth - 48, 60), 30,
                               true, Qt::AlignCenter);
    m_lblVersion = overlay(this, QStringLiteral("lblVersion"), QRect(24, 135, kWidth - 48, 24), 11, false,
                           Qt::AlignCenter);
    m_lblRelease = overlay(this, QStringLiteral("lblRelease"), QRect(24, 160, kWidth - 48, 24), 9, false,
                           Qt::AlignCenter);
    m_lblCopyright = overlay(this, QStringLiteral("lblCopyright"), QRect(24, kHeight - 56, kWidth - 48, 40), 8,
                             false, Qt::AlignHCenter | Qt::AlignBottom);

    // Each statement of the load goes on when one fails.
    IgnoreErrors([&] { centreOnScreen(); });
    IgnoreErrors([&] { SetProjectName(frmAbout::AppTitle()); });
    IgnoreErrors([&] { SetCopyright(frmAbout::MakerNotice()); });
    IgnoreErrors([&] {
        const QString version = QCoreApplication::applicationVersion();
        m_lblVersion->setText(version.isEmpty() ? QString() : QStringLiteral("Version ") + version);
        m_lblRelease->setText(QStringLiteral("Neural networks for data mining and prediction"));
    });
    IgnoreErrors([&] { Utilities::SetTopMost(this, true); });
}

frmSplash* frmSplash::Current()
{
    return g_current.data();
}

QString frmSplash::ProjectName() const
{
    return m_lblProjectName->text();
}

void frmSplash::SetProjectName(const QString& name)
{
    m_lblProjectName->setText(name);
}

QString frmSplash::Copyright() const
{
    return m_lblCopyright->text();
}

void frmSplash::SetCopyright(const QString& notice)
{
    m_lblCopyright->setText(notice);
}

QPixmap frmSplash::Picture(const QSize& size)
{
    QPixmap picture(size);
    QPainter painter(&picture);
    Utilities::PaintGradient(painter, picture.rect(), Utilities::GradientTop, Utilities::GradientBottom);
    // A faint net of nodes and links behind the title.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    const int columns[3] = {size.width() / 6, size.width() / 2, size.width() * 5 / 6};
    const int counts[3] = {5, 4, 2};
    auto nodeAt = [&](int layer, int i) {
        const int n = counts[layer];
        return QPointF(columns[layer], size.height() * (i + 1) / double(n + 1));
    };
    for (int layer = 0; layer < 2; ++layer)
        for (int i = 0; i < counts[layer]; ++i)
            for (int j = 0; j < counts[layer + 1]; ++j)
                painter.drawLine(nodeAt(layer, i), nodeAt(layer + 1, j));
    painter.setBrush(QColor(255, 255, 255, 50));
    for (int layer = 0; layer < 3; ++layer)
        for (int i = 0; i < counts[layer]; ++i)
            painter.drawEllipse(nodeAt(layer, i), 7, 7);
    painter.setPen(QPen(QColor(255, 255, 255, 160), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(picture.rect()).adjusted(1, 1, -1, -1));
    return picture;
}

void frmSplash::centreOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void frmSplash::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    hide();
    emit Clicked();
}

void frmSplash::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    hide();
    emit Clicked();
}
