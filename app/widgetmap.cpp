#include "app/widgetmap.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSaveFile>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include <memory>

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QString entry(const char* kind, const QString& name, const char* className, const QRect& global, bool enabled,
              bool flag, const QString& text)
{
    return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t%10\n")
        .arg(QLatin1String(kind), oneLine(name), QLatin1String(className))
        .arg(global.x())
        .arg(global.y())
        .arg(global.width())
        .arg(global.height())
        .arg(enabled ? 1 : 0)
        .arg(flag ? 1 : 0)
        .arg(oneLine(text));
}

QRect globalRect(const QWidget* w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// A control's name with the names of its named parents inside its window ("dsTrainSet/
// txtBottomNum"), as two controls of one window may share a name.
QString pathOf(const QWidget* w)
{
    QString path = w->objectName();
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            path = p->objectName() + QLatin1Char('/') + path;
    return path;
}

QString textOf(const QWidget* w)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    // What a field shows as dots stays out of a file others may read.
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->echoMode() == QLineEdit::Normal ? e->text() : QString();
    if (auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    if (auto* p = qobject_cast<const QProgressBar*>(w))
        return QString::number(p->value());
    if (w->isWindow())
        return w->windowTitle();
    return {};
}

bool flagOf(const QWidget* w)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->isChecked();
    return w->hasFocus();
}

// The band of a named table's headings ("headings"), then each heading at least partly in it
// ("heading", named by its column, flagged when its column is the current one), at the place
// where it stands: a heading cut by the band's left edge starts before the band.
QString headingsOf(const QTableView* table)
{
    const QHeaderView* header = table->horizontalHeader();
    if (!header->isVisible() || !table->model())
        return {};
    const QWidget* band = header->viewport();
    const QString path = pathOf(table);
    QString out = entry("headings", path, "QHeaderView", globalRect(band), header->isEnabled(), false, {});
    const QModelIndex current = table->currentIndex();
    for (int c = 0; c < header->count(); ++c) {
        const int x = header->sectionViewportPosition(c);
        const int width = header->sectionSize(c);
        if (header->isSectionHidden(c) || x + width <= 0 || x >= band->width())
            continue;
        out += entry("heading", path + QLatin1Char('/') + QString::number(c), "QHeaderView",
                     QRect(band->mapToGlobal(QPoint(x, 0)), QSize(width, band->height())), true,
                     current.isValid() && current.column() == c,
                     table->model()->headerData(c, Qt::Horizontal).toString());
    }
    return out;
}

// The cells of a named table's current row (the first when none is current) that stand in its
// view ("cell", named by its column, flagged when it is the current cell of the table that has
// the keyboard), with the text the model gives them.
QString cellsOf(const QTableView* table)
{
    const QAbstractItemModel* model = table->model();
    if (!model || model->rowCount() == 0)
        return {};
    const QModelIndex current = table->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    const QWidget* view = table->viewport();
    const QString path = pathOf(table);
    QString out;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QModelIndex cell = model->index(row, c);
        const QRect r = table->visualRect(cell);
        if (table->isColumnHidden(c) || !r.isValid() || !r.intersects(view->rect()))
            continue;
        out += entry("cell", path + QLatin1Char('/') + QString::number(c), "QTableView",
                     QRect(view->mapToGlobal(r.topLeft()), r.size()), true,
                     table->hasFocus() && current.isValid() && current.column() == c, cell.data().toString());
    }
    return out;
}

} // namespace

QString WidgetMap::Current()
{
    QString map;
    const QWidget* active = QApplication::activeWindow();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        map += entry("window", top->objectName(), top->metaObject()->className(), top->frameGeometry(),
                     top->isEnabled(), top == active, top->windowTitle());
        // The items of an open menu, by their tool names.
        if (auto* menu = qobject_cast<QMenu*>(top))
            for (QAction* action : menu->actions())
                if (action->isVisible() && !action->isSeparator())
                    map += entry("item", action->objectName(), "QAction",
                                 QRect(menu->mapToGlobal(menu->actionGeometry(action).topLeft()),
                                       menu->actionGeometry(action).size()),
                                 action->isEnabled(), action->isChecked(), action->text());
    }
    for (QWidget* w : QApplication::allWidgets()) {
        if (!w->isVisible() || w->isWindow())
            continue;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
            const QMdiArea* area = sub->mdiArea();
            const QString inner = sub->widget() ? sub->widget()->objectName() : QString();
            map += entry("child", inner, sub->widget() ? sub->widget()->metaObject()->className() : "",
                         globalRect(sub), sub->isEnabled(), area && area->activeSubWindow() == sub,
                         sub->windowTitle());
            continue;
        }
        if (auto* bar = qobject_cast<QToolBar*>(w)) {
            for (QAction* action : bar->actions()) {
                QWidget* button = bar->widgetForAction(action);
                if (!button || !button->isVisible() || action->objectName().isEmpty())
                    continue;
                map += entry("tool", action->objectName(), button->metaObject()->className(), globalRect(button),
                             action->isEnabled(), action->isChecked(), action->text());
            }
        }
        // A maximised child's frame buttons (minimise, restore, close) stand in the menu bar's
        // corner, unnamed.
        if (auto* bar = qobject_cast<QMenuBar*>(w); bar && !bar->objectName().isEmpty())
            if (QWidget* corner = bar->cornerWidget(Qt::TopRightCorner); corner && corner->isVisible())
                map += entry("widget", pathOf(bar) + QStringLiteral("/TopRightCorner"), corner->metaObject()->className(),
                             globalRect(corner), corner->isEnabled(), false, {});
        if (!w->objectName().isEmpty()) {
            map += entry("widget", pathOf(w), w->metaObject()->className(), globalRect(w), w->isEnabled(),
                         flagOf(w), textOf(w));
            if (auto* table = qobject_cast<QTableView*>(w))
                map += headingsOf(table) + cellsOf(table);
        }
    }
    return map;
}

void WidgetMap::Start(const QString& path, int intervalMs)
{
    if (path.isEmpty())
        return;
    auto* timer = new QTimer(qApp);
    auto written = std::make_shared<QString>();
    QObject::connect(timer, &QTimer::timeout, qApp, [path, written] {
        const QString map = Current();
        if (map == *written)
            return;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(map.toUtf8());
        if (file.commit())
            *written = map;
    });
    timer->start(intervalMs);
}
