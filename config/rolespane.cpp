// The configuration window's field-roles pane: its lists, arrow buttons and drags.
#include "config/rolespane.h"

#include "config/configurelook.h"
#include "core/errorbox.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/winhelpers.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

using namespace ConfLook;

namespace {

using Place = CRoleRules::Place;

// The private type of the window's drags: the dragged place's number.
const QString kRoleMime = QStringLiteral("application/x-korvan-config-role");

} // namespace

CRolesPane::CRolesPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frame2"));
    setAutoFillBackground(true);
    PlaceAt(this, 120, 1680, 8535, 3135);
    const QString pale = QStringLiteral("background-color: %1;").arg(Utilities::ColorFromBgr(kPale).name());
    Label(this, "Label4", QStringLiteral("Available Fields"), 3465, 120, 1575, 255);
    Label(this, "Label5", QStringLiteral("Input Fields"), 6705, 120, 975, 255);
    const auto list = [&](const char* name, int l) {
        auto* lw = new QListWidget(this);
        lw->setObjectName(QString::fromLatin1(name));
        PlaceAt(lw, l, 360, 2055, 2010);
        lw->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lw->setStyleSheet(QStringLiteral("QListWidget { ") + pale + QStringLiteral(" }"));
        lw->viewport()->installEventFilter(this);
        lw->viewport()->setAcceptDrops(true);
        return lw;
    };
    lstFields = list("lstFields", 3105);
    lstInput = list("lstInput", 6105);
    cmdAllToInput = Button(this, "cmdAllToInput", QStringLiteral(">>"), 5430, 720, 375, 255, true);
    cmdOneToInput = Button(this, "cmdOneToInput", QStringLiteral(">"), 5430, 1080, 375, 255, true);
    cmdOneFromInput = Button(this, "cmdOneFromInput", QStringLiteral("<"), 5430, 1440, 375, 255, true);
    cmdAllFromInput = Button(this, "cmdAllFromInput", QStringLiteral("<<"), 5430, 1800, 375, 255, true);
    imgAssist = new QWidget(this);
    imgAssist->setObjectName(QStringLiteral("imgAssist"));
    PlaceAt(imgAssist, 120, 960, 2775, 1095);
    Label1 = Label(this, "Label1", QStringLiteral("Prediction Field"), 705, 960, 1455, 255);
    lblPrediction = Label(this, "lblPrediction", QString(), 240, 1230, 2175, 285);
    lblPrediction->setStyleSheet(pale + QStringLiteral("border: 1px solid black;"));
    cmdToPrediction = Button(this, "cmdToPrediction", QStringLiteral("<"), 2505, 1080, 375, 255, true);
    cmdFromPrediction = Button(this, "cmdFromPrediction", QStringLiteral(">"), 2505, 1440, 375, 255, true);
    for (QWidget* target : {static_cast<QWidget*>(imgAssist), static_cast<QWidget*>(Label1),
                            static_cast<QWidget*>(lblPrediction)}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
    cmdOneToInput->setEnabled(false);
    cmdOneFromInput->setEnabled(false);

    connect(cmdOneToInput, &QPushButton::clicked, this, [this] { cmdOneToInput_Click(); });
    connect(cmdAllToInput, &QPushButton::clicked, this, [this] { cmdAllToInput_Click(); });
    connect(cmdOneFromInput, &QPushButton::clicked, this, [this] { cmdOneFromInput_Click(); });
    connect(cmdAllFromInput, &QPushButton::clicked, this, [this] { cmdAllFromInput_Click(); });
    connect(cmdToPrediction, &QPushButton::clicked, this, [this] { cmdToPrediction_Click(); });
    connect(cmdFromPrediction, &QPushButton::clicked, this, [this] { cmdFromPrediction_Click(); });
    connect(lstFields, &QListWidget::itemSelectionChanged, this, [this] { ListClicked(Place::Fields); });
    connect(lstInput, &QListWidget::itemSelectionChanged, this, [this] { ListClicked(Place::Inputs); });
    // A click on the entry already selected changes no selection, and is a click all the same.
    connect(lstFields, &QListWidget::clicked, this, [this] { ListClicked(Place::Fields); });
    connect(lstInput, &QListWidget::clicked, this, [this] { ListClicked(Place::Inputs); });
}

void CRolesPane::FillFieldList(const CDataDef& ddo)
{
    const int16_t nodes = m_rules.Nodes();
    m_rules.Fill(CRoleRules::FieldsOf(ddo));
    m_rules.SetNodes(nodes);
    SyncLists();
}

void CRolesPane::FocusFields()
{
    lstFields->setFocus();
}

QList<int16_t> CRolesPane::SelectedNumbers(QListWidget* list) const
{
    QList<int16_t> numbers;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            numbers << int16_t(list->item(i)->data(Utilities::ItemDataRole).toInt());
    return numbers;
}

void CRolesPane::SyncLists()
{
    const auto fill = [this](QListWidget* list, const QList<RoleItem>& items) {
        const QList<int16_t> selected = SelectedNumbers(list);
        QSignalBlocker block(list);
        list->clear();
        for (const RoleItem& item : items) {
            auto* entry = new QListWidgetItem(item.name, list);
            entry->setData(Utilities::ItemDataRole, int(item.number));
            // A name longer than the list is wide can still be read whole.
            entry->setToolTip(item.name);
            entry->setSelected(selected.contains(item.number));
        }
    };
    fill(lstFields, m_rules.Fields());
    fill(lstInput, m_rules.Inputs());
    lblPrediction->setText(m_rules.PredictionName());
    lblPrediction->setToolTip(m_rules.PredictionName());
    UpdateArrowButtons();
}

void CRolesPane::UpdateArrowButtons()
{
    IgnoreErrors([&] {
        const RoleButtons b = m_rules.Buttons(int(lstFields->selectedItems().size()),
                                              int(lstInput->selectedItems().size()));
        cmdFromPrediction->setEnabled(b.fromPrediction);
        cmdToPrediction->setEnabled(b.toPrediction);
        cmdAllToInput->setEnabled(b.allToInput);
        cmdOneToInput->setEnabled(b.oneToInput);
        cmdOneFromInput->setEnabled(b.oneFromInput);
        cmdAllFromInput->setEnabled(b.allFromInput);
        emit OkAllowed(b.ok);
    });
}

void CRolesPane::ShowNodes()
{
    if (m_rules.IsBackProp())
        Utilities::SetNodesPanel(QString::number(m_rules.Nodes()));
}

void CRolesPane::SetNodes(int16_t nodes)
{
    m_rules.SetNodes(nodes);
    ShowNodes();
}

void CRolesPane::ListClicked(Place list)
{
    UpdateArrowButtons();
    IgnoreErrors([&] {
        QListWidget* w = list == Place::Fields ? lstFields : lstInput;
        if (w->count() == 0 || !w->currentItem())
            return;
        const auto number = int16_t(w->currentItem()->data(Utilities::ItemDataRole).toInt());
        Say(CRoleRules::FieldStatusText(m_rules.NameOf(number), m_rules.TypeOf(number)));
    });
}

void CRolesPane::cmdOneToInput_Click()
{
    Say(QString());
    Procedure(QStringLiteral("frmConfPrj::MoveListBoxItemsToLB_Mod"), [&] {
        const QString status = m_rules.ToInputs(SelectedNumbers(lstFields));
        if (!status.isEmpty())
            Say(status);
    });
    ShowNodes();
    SetChanged();
    SyncLists();
}

void CRolesPane::cmdAllToInput_Click()
{
    Say(QString());
    Procedure(QStringLiteral("frmConfPrj::MoveListBoxItemsToLB_Mod"), [&] {
        const QString status = m_rules.ToInputs({}, true);
        if (!status.isEmpty())
            Say(status);
    });
    ShowNodes();
    SetChanged();
    SyncLists();
}

void CRolesPane::cmdOneFromInput_Click()
{
    Say(QString());
    m_rules.FromInputs(SelectedNumbers(lstInput));
    ShowNodes();
    SetChanged();
    SyncLists();
}

void CRolesPane::cmdAllFromInput_Click()
{
    Say(QString());
    m_rules.FromInputs({}, true);
    ShowNodes();
    SetChanged();
    SyncLists();
}

void CRolesPane::cmdToPrediction_Click()
{
    Say(QString());
    Procedure(QStringLiteral("frmConfPrj::cmdToPrediction_Click"), [&] {
        QListWidgetItem* item = lstFields->currentItem();
        const int16_t number = item ? int16_t(item->data(Utilities::ItemDataRole).toInt()) : int16_t(0);
        const QString refusal = m_rules.ToPrediction(Place::Fields, number);
        if (!refusal.isEmpty()) {
            Say(refusal);
            return;
        }
        SetChanged();
        SyncLists();
    });
}

void CRolesPane::cmdFromPrediction_Click()
{
    Procedure(QStringLiteral("frmConfPrj::cmdFromPrediction_Click"), [&] {
        m_rules.FromPrediction();
        SetChanged();
        SyncLists();
    });
}

CRoleRules::DragIcon CRolesPane::DragEnter(Place target, Place source) const
{
    QListWidget* list = source == Place::Fields ? lstFields : source == Place::Inputs ? lstInput : nullptr;
    int16_t first = 0;
    if (list)
        for (int i = 0; i < list->count() && first == 0; ++i)
            if (list->item(i)->isSelected())
                first = int16_t(list->item(i)->data(Utilities::ItemDataRole).toInt());
    return m_rules.DragEnter(target, source, first);
}

void CRolesPane::DropOn(Place target, Place source)
{
    if (target == source)
        return;
    const char* title = target == Place::Prediction ? "frmConfPrj::lblPrediction_DragDrop"
                        : target == Place::Inputs   ? "frmConfPrj::lstInput_DragDrop"
                                                    : "frmConfPrj::lstFields_DragDrop";
    Procedure(QString::fromLatin1(title), [&] {
        if (target == Place::Inputs && source == Place::Fields) {
            Say(QString());
            const QString status = m_rules.ToInputs(SelectedNumbers(lstFields));
            if (!status.isEmpty())
                Say(status);
            ShowNodes();
            SetChanged();
        } else if (target == Place::Inputs && source == Place::Prediction) {
            const QString status = m_rules.PredictionToInputs();
            if (!status.isEmpty())
                Say(status);
            ShowNodes();
        } else if (target == Place::Fields && source == Place::Prediction) {
            m_rules.FromPrediction();
        } else if (target == Place::Fields && source == Place::Inputs) {
            Say(QString());
            m_rules.FromInputs(SelectedNumbers(lstInput));
            ShowNodes();
            SetChanged();
        } else if (target == Place::Prediction && (source == Place::Fields || source == Place::Inputs)) {
            Say(QString());
            QListWidget* list = source == Place::Fields ? lstFields : lstInput;
            QListWidgetItem* item = list->currentItem();
            const int16_t number = item ? int16_t(item->data(Utilities::ItemDataRole).toInt()) : int16_t(0);
            const QString refusal = m_rules.ToPrediction(source, number);
            if (!refusal.isEmpty()) {
                Say(refusal);
                return;
            }
            SetChanged();
        }
    });
    SyncLists();
}

CRoleRules::Place CRolesPane::PlaceOf(QObject* watched) const
{
    // Filters are installed while the controls are made: some may not exist yet.
    if (lstFields && watched == lstFields->viewport())
        return Place::Fields;
    if (lstInput && watched == lstInput->viewport())
        return Place::Inputs;
    if (watched && (watched == lblPrediction || watched == imgAssist || watched == Label1))
        return Place::Prediction;
    return Place::Other;
}

bool CRolesPane::eventFilter(QObject* watched, QEvent* event)
{
    const Place place = PlaceOf(watched);
    if (place == Place::Other)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_dragStart = static_cast<QMouseEvent*>(event)->position().toPoint();
        break;
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->buttons() != Qt::LeftButton || watched == imgAssist || watched == Label1)
            break;
        if ((me->position().toPoint() - m_dragStart).manhattanLength() < QApplication::startDragDistance())
            break;
        const bool canDrag = place == Place::Prediction ? m_rules.HasPrediction()
                             : place == Place::Fields  ? !lstFields->selectedItems().isEmpty()
                                                       : !lstInput->selectedItems().isEmpty();
        if (!canDrag)
            break;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(kRoleMime, QByteArray::number(int(place)));
        drag->setMimeData(mime);
        drag->exec(Qt::MoveAction);
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDragMoveEvent*>(event);
        if (!de->mimeData()->hasFormat(kRoleMime) || de->source() != this) {
            de->ignore();
            return true;
        }
        const auto source = Place(de->mimeData()->data(kRoleMime).toInt());
        const CRoleRules::DragIcon icon = DragEnter(place, source);
        if (icon == CRoleRules::DragIcon::NotDrop || (icon == CRoleRules::DragIcon::Unchanged && source == place))
            de->ignore();
        else
            de->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(event);
        if (!de->mimeData()->hasFormat(kRoleMime) || de->source() != this)
            return true;
        const auto source = Place(de->mimeData()->data(kRoleMime).toInt());
        de->acceptProposedAction();
        // The drop ends inside the drag's own loop: the move runs after it.
        QTimer::singleShot(0, this, [this, place, source] { DropOn(place, source); });
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
