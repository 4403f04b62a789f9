#include "config/configureproject.h"

#include "config/configurelook.h"
#include "config/advancedconfiguration.h"
#include "core/apppaths.h"
#include "core/cfile.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/status.h"
#include "config/twipsrect.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/pointerguard.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "data/columnstats.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "kdb/backup.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

using ConfLook::Button;

namespace {

QPointer<frmConfPrj>& current()
{
    static QPointer<frmConfPrj> window;
    return window;
}

// Busy pointer on the window and the window disabled while a long step runs; both come back
// on every path.
class WindowBusy {
public:
    explicit WindowBusy(QWidget* w) : m_w(w)
    {
        m_w->setCursor(Qt::WaitCursor);
        m_w->setEnabled(false);
    }
    ~WindowBusy()
    {
        if (m_w) {
            m_w->unsetCursor();
            m_w->setEnabled(true);
        }
    }

private:
    QPointer<QWidget> m_w;
};

// The number of distinct non-empty values of a field of the project's linked source table,
// counted as the class list groups them (text ignoring case); read-only. A read that fails
// raises: it is no count.
int64_t SourceClassCount(const QString& projectFile, const QString& field)
{
    kdb::Database db = kdb::Database::Open(projectFile, false, true);
    const QString f = kdb::QuoteIdent(field);
    return db.Scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM ") + ProjectSchema::LinkTable()
                     + QStringLiteral(" WHERE ") + f + QStringLiteral(" IS NOT NULL GROUP BY ") + f
                     + QStringLiteral(" COLLATE NOCASE)"))
        .toInt();
}

// The rows of the project's class list; raises when it cannot be read.
int64_t ClassListCount(const QString& projectFile)
{
    return kdb::Database::Open(projectFile, false, true).RecordCount(ProjectSchema::ClassesTable());
}

QString ClassMessage(const QString& field, int64_t n)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("The field: [") + field + QStringLiteral("] ") + QStringLiteral("contains ")
           + QString::number(n) + QStringLiteral(" classes and cannot be used for SFAM prediction.") + crlf
           + QStringLiteral("The prediction field must have between 2 and 256 classes.") + crlf + crlf
           + QStringLiteral("Please select a different Prediction Field.");
}

// Raises 3050 while another program holds the project file, so that OK stops before it
// changes anything: every step of the commit writes to that file.
void RequireWritable(const QString& projectFile)
{
    kdb::Database db = kdb::Database::Open(projectFile, false, false);
    db.Execute(QStringLiteral("BEGIN EXCLUSIVE"));
    db.Execute(QStringLiteral("ROLLBACK"));
}

// The roles and user limits of a data definition as they were before a commit, put back
// unless the commit ends well: a commit that fails leaves the definition as the project file
// has it.
class DefinitionRollback {
public:
    explicit DefinitionRollback(CDataDef& ddo) : m_ddo(ddo)
    {
        for (int16_t i = 1; i <= ddo.NumFields(); ++i)
            m_saved.push_back({ddo.UserMatchType(i), ddo.UserMin(i), ddo.UserMax(i)});
    }
    ~DefinitionRollback()
    {
        if (m_kept)
            return;
        IgnoreErrors([&] {
            for (int16_t i = 1; i <= m_ddo.NumFields() && size_t(i) <= m_saved.size(); ++i) {
                const Saved& f = m_saved[size_t(i - 1)];
                m_ddo.SetUserMatchType(i, f.role);
                m_ddo.SetUserMin(i, f.min);
                m_ddo.SetUserMax(i, f.max);
            }
        });
    }
    DefinitionRollback(const DefinitionRollback&) = delete;
    DefinitionRollback& operator=(const DefinitionRollback&) = delete;
    void Keep() { m_kept = true; }

private:
    struct Saved {
        int16_t role;
        double min;
        double max;
    };
    CDataDef& m_ddo;
    std::vector<Saved> m_saved;
    bool m_kept = false;
};

} // namespace

// --- Life cycle ----------------------------------------------------------------------------

frmConfPrj::frmConfPrj(bool createdByNew, QWidget* parent) : CConfigWindow(parent), m_createdByNew(createdByNew)
{
    setObjectName(QStringLiteral("frmConfPrj"));
    setWindowTitle(QStringLiteral("Configure This Project"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Form_Initialize();
    Form_Load();
    current() = this;
}

frmConfPrj::~frmConfPrj()
{
    if (m_dataDef)
        m_dataDef->SetProgressHandler({});
}

frmConfPrj* frmConfPrj::Current()
{
    return current().data();
}

frmConfPrj* frmConfPrj::Open(bool createdByNew)
{
    if (frmConfPrj* open = Current(); open && !open->m_ending) {
        Activate(open);
        return open;
    }
    auto* window = new frmConfPrj(createdByNew);
    ShowAsChild(window, QSize(Twips::ToWholePixels(9240), Twips::ToWholePixels(6000)));
    return window;
}

void frmConfPrj::Form_Initialize()
{
    IgnoreErrors([&] {
        CNetworkProject* net = CurrentNetwork();
        m_nnType = CurrentKind();
        if (!net)
            return;
        m_roles->Rules() = CRoleRules(m_nnType);
        m_source->SetDatabaseFileName(net->State().DatabaseFileName());
        m_source->SetTableName(net->State().TableName());
        if (m_nnType == ntBackProp)
            m_roles->Rules().SetNodes(net->CurrentNodes());
        if (m_source->TableName().isEmpty()) {
            m_roles->setEnabled(false);
            m_tableChosen = false;
        } else {
            m_dataDef = net->State().DDO();
            m_tableChosen = true;
            gVeltra().StatusBar().Message(QString::number(m_dataDef->RecordCount()) + QStringLiteral(" Rows"), true);
        }
    });
}

void frmConfPrj::Form_Load()
{
    Procedure(QStringLiteral("frmConfPrj::Form_Load"), [&] {
        if (m_source->Load()) {
            m_roles->setEnabled(true);
            FillFieldList();
        } else {
            m_roles->setEnabled(false);
        }
    });
    m_changed = false;
}

void frmConfPrj::Activated()
{
    IgnoreErrors([&] {
        if (m_tableChosen)
            Say(QStringLiteral("Setup the configuration of this project."));
        else
            m_roles->setEnabled(false);
    });
}

void frmConfPrj::resizeEvent(QResizeEvent* event)
{
    CConfigWindow::resizeEvent(event);
    IgnoreErrors([&] {
        const int w = Twips::FromPixels(width());
        const int h = Twips::FromPixels(height());
        const int left = (w - 8535) / 2;
        const int free = Twips::Round(double(h - 3135 - 1215 - 500));
        const int top1 = free / 3;
        m_source->setGeometry(Twips::ToWholePixels(std::max(left, 0)), Twips::ToWholePixels(std::max(top1, 0)),
                              m_source->width(), m_source->height());
        m_roles->setGeometry(m_source->x(), m_source->y() + m_source->height(), m_roles->width(), m_roles->height());
    });
}

void frmConfPrj::paintEvent(QPaintEvent* event)
{
    CConfigWindow::paintEvent(event);
    // Two separators on the window itself, where it was designed: a dark line with a white one
    // just under it. They stay put when the panels move.
    QPainter painter(this);
    const auto line = [&](int y) {
        painter.drawLine(Twips::ToWholePixels(120), Twips::ToWholePixels(y), Twips::ToWholePixels(9000),
                         Twips::ToWholePixels(y));
    };
    painter.setPen(palette().color(QPalette::WindowText));
    line(1320);
    painter.setPen(Qt::white);
    line(1335);
}

void frmConfPrj::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_ending)
        return;
    // The close box, or the window unloaded by another command: Cancel, whose view (or the
    // removal of a never-committed new project) follows only while the project is still the
    // one this window configured and no new configuration window has come.
    Cancel(true);
}

void frmConfPrj::End(std::function<void()> then)
{
    m_ending = true;
    m_status.End();
    if (m_dataDef)
        m_dataDef->SetProgressHandler({});
    IgnoreErrors([] { Utilities::TmpEnableTools(); });
    // The advanced window belongs to this one and goes with it.
    if (frmConfigProj* advanced = frmConfigProj::Current())
        advanced->cmdCancel_Click();
    CloseWindow();
    // What follows may close every child window: it runs once this handler has returned.
    if (then)
        QTimer::singleShot(0, qApp, std::move(then));
}

// --- Controls ------------------------------------------------------------------------------

void frmConfPrj::buildControls()
{
    // The data-source pane holds OK and Cancel too, and the roles pane Advanced, where the
    // window was designed.
    m_source = new CSourcePane(this);
    cmdOk = Button(m_source, "cmdOk", QStringLiteral("OK"), 6840, 120, 1455, 375);
    cmdOk->setEnabled(false);
    cmdCancel = Button(m_source, "cmdCancel", QStringLiteral("Cancel"), 6840, 600, 1455, 375);
    m_roles = new CRolesPane(this);
    cmdAdvanced = Button(m_roles, "cmdAdvanced", QStringLiteral("Advanced >>"), 6585, 2520, 1575, 375);

    connect(m_source, &CSourcePane::Changed, this, [this] { SetChanged(); });
    connect(m_source, &CSourcePane::TableChosen, this, [this](const QString& name) { ChooseTable(name); });
    connect(m_roles, &CRolesPane::StatusText, this, [this](const QString& text) { Say(text); });
    connect(m_roles, &CRolesPane::Changed, this, [this] { SetChanged(); });
    connect(m_roles, &CRolesPane::OkAllowed, cmdOk, &QPushButton::setEnabled);
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdAdvanced, &QPushButton::clicked, this, [this] { cmdAdvanced_Click(); });
}

// --- The chosen table: the source pane's choice tied to the data definition -------------

void frmConfPrj::ChooseTable(const QString& name)
{
    Say(QString());
    repaint();
    if (name == m_source->TableName() && !name.isEmpty()) {
        SetChanged();
        return;
    }
    QPointer<frmConfPrj> self(this);
    bool chosen = false;
    {
        WindowBusy busy(this);
        Procedure(QStringLiteral("frmConfPrj::cmbTableList_Click"), [&] {
            if (!m_dataDef)
                chosen = ChooseFirstTable(name);
            else
                ChooseLaterTable(name);
        });
    }
    if (self && chosen) {
        m_roles->FocusFields();
        SetChanged();
    }
}

bool frmConfPrj::ChooseFirstTable(const QString& name)
{
    if (!dbUtilities::HasPrimaryKey(m_source->DatabaseFileName(), name)) {
        Prompts::MsgBox(QStringLiteral("Unable to use table: ") + name + QStringLiteral(" ") + QLatin1Char('\n')
                            + QStringLiteral("This table requires a single field Primary Key."),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Unable to use table"));
        m_source->SetTableName({});
        m_source->ResetTableList();
        m_source->FocusBrowse();
        return false;
    }
    CNetworkProject* net = CurrentNetwork();
    if (!net)
        throw KvError(KvErr::ObjectNotSet);
    std::shared_ptr<CDataDef> ddo = net->State().DDO();
    if (!ddo)
        throw KvError(KvErr::ObjectNotSet);
    net->Attach(m_source->DatabaseFileName(), name);
    // Attach shows its own failure; the table counts only when the definition took it.
    if (ddo->TableName() != name || ddo->NumFields() < 1) {
        m_source->ResetTableList();
        return false;
    }
    m_source->SetTableName(name);
    if (ddo->RecordCount() < net->State().TrainHigh())
        net->State().SetTrainHigh(ddo->RecordCount());
    if (ddo->RecordCount() < net->State().TestHigh())
        net->State().SetTestHigh(ddo->RecordCount());

    {
        // The statistics show their own progress on the status bar while they read; the text
        // goes with them, however they end.
        const Status::CStatusText gathering(QStringLiteral("Gathering Statistics..."), Status::CStatusText::OnEnd::Restore);
        ddo->GatherStats(false);
    }
    gVeltra().StatusBar().Message(QString::number(ddo->RecordCount()) + QStringLiteral(" Rows"), true);
    m_dataDef = ddo;
    Say(QStringLiteral("Table Selected..."));

    m_tableChosen = true;
    m_source->ShowChosenTable(name);
    m_roles->setEnabled(true);
    FillFieldList();
    return true;
}

void frmConfPrj::ChooseLaterTable(const QString& name)
{
    auto candidate = std::make_shared<CDataDef>();
    candidate->Initialize(m_source->DatabaseFileName(), name);
    if (m_dataDef->IsCompatable(candidate.get())) {
        m_dataDef->SetDBFileName(m_source->DatabaseFileName());
        m_source->SetTableName(name);
        m_dataDef->SetTableName(name);
        m_tableChosen = true;
        m_roles->setEnabled(true);
        FillFieldList();
        m_roles->FocusFields();
        SetChanged();
        return;
    }
    Prompts::MsgBox(QStringLiteral(
                        "Database Tables are not compatable.  Check the tables for: Field Name, Field Type and Field Order."),
                    MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Change Table Error"));
    m_source->RestorePreviousSource();
    m_source->SetTableName(m_dataDef->TableName());
    m_source->FillList();
}

// --- Field roles ---------------------------------------------------------------------------

void frmConfPrj::FillFieldList()
{
    Procedure(QStringLiteral("frmConfPrj::FillFieldList"), [&] {
        if (!m_dataDef)
            return;
        m_roles->FillFieldList(*m_dataDef);
    });
}

void frmConfPrj::SetNodes(int16_t nodes)
{
    m_roles->SetNodes(nodes);
}

void frmConfPrj::DisableCancel()
{
    cmdCancel->setEnabled(false);
}

// --- Advanced, OK and Cancel ---------------------------------------------------------------

void frmConfPrj::cmdAdvanced_Click()
{
    Procedure(QStringLiteral("frmConfPrj::cmdAdvanced_Click"), [&] {
        CHourglass hourglass(true);
        frmConfigProj::Open(this);
    });
}

void frmConfPrj::cmdOK_Click()
{
    QPointer<frmConfPrj> self(this);
    Procedure(QStringLiteral("frmConfPrj::cmdOK_Click"), [&] {
        CHourglass hourglass(true);
        CNetworkProject* net = CurrentNetwork();
        const bool limitsChanged = mMinMaxChanged;
        if (limitsChanged)
            m_changed = true;
        if (!m_changed) {
            // The view that follows reads the project file and its next step writes it: a file
            // another program holds keeps the window open, with the one box that says so.
            if (net)
                RequireWritable(net->State().ProjectFileName());
            End([] { ResumeAtFurthestStep(ResumeFrom::ConfigurationUnchanged); });
            return;
        }
        if (!net || !m_dataDef)
            throw KvError(KvErr::ObjectNotSet);
        // A table with fewer rows than one training range needs could never be split or
        // trained: refused before anything is written.
        if (const int32_t rows = m_dataDef->RecordCount(); rows < MinTrainRows) {
            Prompts::MsgBox(QStringLiteral("The table: [") + m_source->TableName() + QStringLiteral("] has ")
                                + QString::number(rows) + QStringLiteral(" rows.  At least ")
                                + QString::number(MinTrainRows)
                                + QStringLiteral(" rows are needed to train a network.\r\n\r\nPlease select a different table."),
                            MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Not Enough Rows"));
            return;
        }
        if (gProcess().IsTrained() && !limitsChanged) {
            hourglass.SetValue(false);
            if (Prompts::MsgBox(QStringLiteral("This will reset your current Training.  Continue?"), MsgButtons::YesNo,
                                MsgIcon::Exclamation, QStringLiteral("Project Configuration"))
                != MsgResult::Yes)
                return;
            hourglass.SetValue(true);
        }
        const QString projectFile = net->State().ProjectFileName();
        if (!Utilities::FileExists(projectFile))
            throw KvError(KvErr::FileNotFound, {}, QStringLiteral("File Does Not Exist"));
        // Every step below reads or writes the project file: another program holding it stops
        // OK here, with nothing changed and its one box.
        RequireWritable(projectFile);
        // The class count of an SFAM prediction field is checked before anything is written,
        // so a refused field leaves the project as it was. The count after the class list is
        // built catches what this one cannot see.
        // Refuses a count outside the allowed classes with its box; OK stays off until the
        // next button update.
        const auto refusedClasses = [&](int64_t n) {
            if (n >= MinSFamClasses && n <= MaxSFamClasses)
                return false;
            Prompts::MsgBox(ClassMessage(Rules().PredictionName(), n), MsgButtons::Ok, MsgIcon::Exclamation,
                            n > MaxSFamClasses ? QStringLiteral("Too Many Classes") : QStringLiteral("Not Enough Classes"));
            cmdOk->setEnabled(false);
            return true;
        };
        if (m_nnType == ntSFam && refusedClasses(SourceClassCount(projectFile, Rules().PredictionName())))
            return;
        // A value the networks cannot read would stop the training with nothing to go on: the
        // column is refused here, with the row and the value. A file's column takes any value
        // whatever its declared type; a server's typed number and date columns hold none such,
        // and are not read through once more.
        QStringList numeric;
        for (const RoleItem& item : Rules().Inputs())
            numeric << item.name;
        if (m_nnType == ntBackProp)
            numeric << Rules().PredictionName();
        const auto bad = [&]() -> std::optional<ColumnStats::Unreadable> {
            if (kdb::IsOdbcConnect(m_dataDef->DBFileName()))
                return std::nullopt;
            kdb::Database source = kdb::Database::Open(projectFile, false, true);
            return ColumnStats::FirstUnreadable(source, ProjectSchema::LinkTable(), numeric, m_dataDef->KeyFieldName());
        }();
        if (bad) {
            Prompts::MsgBox(ColumnStats::UnreadableText(bad->field, bad->where, bad->value)
                                + QStringLiteral("\r\n\r\nPlease correct the value or select a different field."),
                            MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Unreadable Value"));
            return;
        }
        const CPointerGuard pointer(Qt::WaitCursor);
        CDataDef& ddo = *m_dataDef;
        DefinitionRollback rollback(ddo);
        for (qsizetype i = 0; i < m_pendingLimits.size() && i < ddo.NumFields(); ++i) {
            ddo.SetUserMin(int16_t(i + 1), m_pendingLimits[i].first);
            ddo.SetUserMax(int16_t(i + 1), m_pendingLimits[i].second);
        }
        for (int16_t i = 1; i <= ddo.NumFields(); ++i)
            ddo.SetUserMatchType(i, roleUnused);
        QCoreApplication::processEvents();
        for (const RoleItem& item : Rules().Inputs())
            ddo.SetUserMatchType(item.number, roleInput);
        QCoreApplication::processEvents();
        ddo.SetUserMatchType(Rules().PredictionNumber(), m_nnType == ntBackProp ? roleBPPredict : roleSFamPredict);
        QCoreApplication::processEvents();
        // Each step has shown its own box when it fails; OK then ends with the window open.
        // The reset stores the flags with the training gone; once it went through, the training
        // is gone whatever follows, and a reset that fails leaves them as they were.
        const auto reset = [](CNetworkProject& net) {
            Workflow::Change trainingGone;
            gProcess().SetIsTested(false);
            gProcess().SetIsTrained(false);
            if (!net.Reset())
                return false;
            trainingGone.Commit();
            return true;
        };
        // The flags say configured from the save that stores the configuration.
        const auto save = [](CNetworkProject& net) {
            Workflow::Change configured;
            gProcess().SetIsConfigured(true);
            if (!net.SaveConfig())
                return false;
            configured.Commit();
            return true;
        };
        if (m_nnType == ntSFam) {
            CSFam& sfam = *CurrentNetworkAs<CSFam>();
            if (!reset(sfam))
                return;
            QCoreApplication::processEvents();
            if (!sfam.BuildClassList())
                return;
            QCoreApplication::processEvents();
            if (refusedClasses(ClassListCount(projectFile)) || !save(sfam))
                return;
            Utilities::SetNodesPanel(QStringLiteral("0"));
        } else if (m_nnType == ntBackProp) {
            CBackProp& bp = *CurrentNetworkAs<CBackProp>();
            if (!reset(bp))
                return;
            QCoreApplication::processEvents();
            int16_t nodes = Rules().Nodes();
            if (nodes < MinHiddenNodes || nodes > MaxHiddenNodes)
                nodes = CRoleRules::DefaultNodes(Rules().Inputs().size());
            const int16_t oldNodes = bp.CurrentNodes();
            bp.SetCurrentNodes(nodes);
            if (!save(bp)) {
                bp.SetCurrentNodes(oldNodes);
                return;
            }
            Utilities::SetNodesPanel(QString::number(nodes));
        }
        rollback.Keep();
        IgnoreErrors([&] { gVeltra().MRUList().Add(projectFile); });
        gProcess().SetIsTested(false);
        gProcess().SetIsTrained(false);
        gProcess().SetIsConfigured(true);
        const bool configured = m_nnType == ntSFam || m_nnType == ntBackProp;
        End([] {
            modMenu::RemoveChildForms();
            modMenu::RunCommand(ToolName::Split);
        });
        // End gave back the tools as they stood when the window opened; the project has moved
        // on since, and its tools are those of the step it reached.
        if (configured)
            gNavigate().Navigate(navConfigured);
    });
}

void frmConfPrj::cmdCancel_Click()
{
    if (!cmdCancel->isEnabled() || m_ending)
        return;
    Cancel(false);
}

void frmConfPrj::Cancel(bool closing)
{
    m_ending = true;
    m_status.End();
    m_changed = false;
    m_tableChosen = false;
    // The node count moved with the inputs lives in this window: the panel shows the
    // project's own again.
    IgnoreErrors([] {
        if (const auto bp = CurrentNetworkAs<CBackProp>())
            Utilities::SetNodesPanel(QString::number(bp->CurrentNodes()));
    });
    CNetworkProject* net = CurrentNetwork();
    QString path;
    IgnoreErrors([&] {
        if (net)
            path = net->State().ProjectFileName();
    });
    const QPointer<frmConfPrj> self(this);
    const auto stillOurs = [net, path, self] {
        const frmConfPrj* open = frmConfPrj::Current();
        return net && CurrentNetwork() == net && net->State().ProjectFileName() == path
               && (!open || open == self.data() || open->m_ending);
    };
    // Only the project this New command made, never committed, is removed.
    const bool remove = m_createdByNew && !gProcess().IsConfigured() && !path.isEmpty();
    const auto removeProject = [path] {
        IgnoreErrors([] { Utilities::StatusMessage(QStringLiteral("Removing empty project...")); });
        IgnoreErrors([] { modMenu::FileClose(); });
        IgnoreErrors([&] { kdb::RemoveDatabaseFile(path); });
        IgnoreErrors([] { Utilities::StatusMessage(QString()); });
    };
    const auto view = [] { ResumeAtFurthestStep(ResumeFrom::ConfigurationCancelled); };
    if (closing) {
        IgnoreErrors([] { Utilities::TmpEnableTools(); });
        if (frmConfigProj* advanced = frmConfigProj::Current())
            advanced->cmdCancel_Click();
        QTimer::singleShot(0, qApp, [stillOurs, remove, removeProject, view] {
            if (!stillOurs())
                return;
            if (remove)
                removeProject();
            else
                view();
        });
        return;
    }
    if (remove) {
        IgnoreErrors([] { Utilities::TmpEnableTools(); });
        removeProject(); // closes this window too
        return;
    }
    End(view);
}
