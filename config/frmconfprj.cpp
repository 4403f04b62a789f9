#include "config/frmconfprj.h"

#include "config/frmconfigproj.h"
#include "core/apppaths.h"
#include "core/cfile.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "config/twipsrect.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/pointerguard.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/projectschema.h"
#include "network/backprop.h"
#include "network/process.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace {

using Place = CRoleRules::Place;

// The private type of the window's drags: the dragged place's number.
const QString kRoleMime = QStringLiteral("application/x-korvan-config-role");

QPointer<frmConfPrj>& current()
{
    static QPointer<frmConfPrj> window;
    return window;
}

QString ColorSheet(uint32_t background, uint32_t text)
{
    return QStringLiteral("background-color: %1; color: %2;")
        .arg(Utilities::ColorFromBgr(background).name(), Utilities::ColorFromBgr(text).name());
}

// Blue with green text, the source and table fields' colours; the pale list background.
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kPale = 0xFFF8F8;
constexpr uint32_t kLabelText = 0x400000;

QFont SansFont(double points, bool bold, bool italic = false)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
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

// The source as the window names it: the data source's name, or the connect text without
// its "ODBC;" and its password.
QString DsnOf(const QString& connect)
{
    if (const std::optional<QString> dsn = kdb::ConnectValue(connect, QStringLiteral("DSN")))
        return *dsn;
    const qsizetype odbc = connect.indexOf(QStringLiteral("ODBC;"));
    return kdb::HidePassword(odbc < 0 ? connect : connect.mid(odbc + 5));
}

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
        m_nnType = NetworkKind();
        if (!net)
            return;
        m_rules = CRoleRules(m_nnType);
        m_databaseFileName = net->DatabaseFileName();
        m_tableName = net->TableName();
        if (gBackProp())
            m_rules.SetNodes(gBackProp()->CurrentNodes());
        if (m_tableName.isEmpty()) {
            Frame2->setEnabled(false);
            m_tableChosen = false;
        } else {
            m_dataDef = net->DDO();
            m_tableChosen = true;
            gVeltra().StatusBar().Message(QString::number(m_dataDef->RecordCount()) + QStringLiteral(" Rows"), true);
        }
    });
}

void frmConfPrj::Form_Load()
{
    Procedure(QStringLiteral("frmConfPrj::Form_Load"), [&] {
        if (!m_databaseFileName.isEmpty()) {
            cmdBrowse->setEnabled(false);
            chkODBC->setEnabled(false);
            ShowSourceLabel(false);
            lblDatabase->setText(ParseName(m_databaseFileName));
            FillList();
            cmbTableList->setFont(SansFont(9.75, true));
            cmbTableList->setEnabled(true);
            cmbTableList->hide();
            lblTable->setText(m_tableName.isEmpty() ? cmbTableList->currentText() : m_tableName);
            lblTable->show();
            Frame2->setEnabled(true);
            FillFieldList();
        } else {
            ShowSourceLabel(true);
            lblDatabase->setText(QStringLiteral("- Select Database File -"));
            cmbTableList->setStyleSheet(QStringLiteral("color: %1;").arg(palette().color(QPalette::Disabled, QPalette::Text).name()));
            cmbTableList->setEnabled(false);
            Frame2->setEnabled(false);
            chkODBC->setChecked(false);
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
            Frame2->setEnabled(false);
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
        Frame1->setGeometry(Twips::ToWholePixels(std::max(left, 0)), Twips::ToWholePixels(std::max(top1, 0)),
                            Frame1->width(), Frame1->height());
        Frame2->setGeometry(Frame1->x(), Frame1->y() + Frame1->height(), Frame2->width(), Frame2->height());
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
    const auto place = [](QWidget* w, int l, int t, int wi, int he) { w->setGeometry(TwipsRect(l, t, wi, he)); };
    const auto label = [&](QWidget* parent, const char* name, const QString& text, int l, int t, int wi, int he) {
        auto* lb = new QLabel(text, parent);
        lb->setObjectName(QString::fromLatin1(name));
        place(lb, l, t, wi, he);
        // The designed widths were made for a narrower font: a caption is never cut.
        if (!text.isEmpty() && lb->sizeHint().width() > lb->width())
            lb->resize(lb->sizeHint().width(), lb->height());
        return lb;
    };
    const auto button = [&](QWidget* parent, const char* name, const QString& text, int l, int t, int wi, int he,
                            bool bold = false) {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(QString::fromLatin1(name));
        place(b, l, t, wi, he);
        if (bold)
            b->setFont(SansFont(8.25, true));
        return b;
    };
    const QString pale = QStringLiteral("background-color: %1;").arg(Utilities::ColorFromBgr(kPale).name());
    const QString blueGreen = ColorSheet(kBlue, kGreen);
    const QString heading = QStringLiteral("color: %1;").arg(Utilities::ColorFromBgr(kLabelText).name());

    Frame1 = new QWidget(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAutoFillBackground(true);
    place(Frame1, 120, 0, 8535, 1215);
    QLabel* l2 = label(Frame1, "Label2", QStringLiteral("Database Source File:"), 120, 240, 1920, 195);
    l2->setFont(SansFont(8.25, true));
    l2->setStyleSheet(heading);
    l2->adjustSize();
    lblDatabase = label(Frame1, "lblDatabase", QStringLiteral("- Select Database File -"), 120, 525, 3495, 315);
    lblDatabase->setStyleSheet(blueGreen + QStringLiteral("border: 1px solid black;"));
    lblDatabase->installEventFilter(this);
    cmdBrowse = button(Frame1, "cmdBrowse", QStringLiteral("Browse..."), 2280, 120, 1335, 375);
    chkODBC = new QCheckBox(QStringLiteral("Use ODBC"), Frame1);
    chkODBC->setObjectName(QStringLiteral("chkODBC"));
    place(chkODBC, 2400, 900, 1215, 195);
    chkODBC->setFocusPolicy(Qt::NoFocus);
    chkODBC->setAttribute(Qt::WA_TransparentForMouseEvents); // shows the kind; no click of its own
    QLabel* l3 = label(Frame1, "Label3", QStringLiteral("Table Name:"), 3960, 240, 1155, 195);
    l3->setFont(SansFont(8.25, true));
    l3->setStyleSheet(heading);
    l3->adjustSize();
    cmbTableList = new QComboBox(Frame1);
    cmbTableList->setObjectName(QStringLiteral("cmbTableList"));
    place(cmbTableList, 3960, 495, 2655, 360);
    cmbTableList->setPlaceholderText(QStringLiteral("- Select Table -"));
    cmbTableList->setFont(SansFont(9.75, true, true));
    lblTable = label(Frame1, "lblTable", QStringLiteral("- Select Table -"), 3960, 495, 2655, 360);
    lblTable->setStyleSheet(blueGreen + QStringLiteral("border: 1px solid black;"));
    lblTable->setFont(SansFont(9.75, true, true));
    lblTable->hide();
    cmdOk = button(Frame1, "cmdOk", QStringLiteral("OK"), 6840, 120, 1455, 375);
    cmdOk->setEnabled(false);
    cmdCancel = button(Frame1, "cmdCancel", QStringLiteral("Cancel"), 6840, 600, 1455, 375);

    Frame2 = new QWidget(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setAutoFillBackground(true);
    place(Frame2, 120, 1680, 8535, 3135);
    label(Frame2, "Label4", QStringLiteral("Available Fields"), 3465, 120, 1575, 255);
    label(Frame2, "Label5", QStringLiteral("Input Fields"), 6705, 120, 975, 255);
    const auto list = [&](const char* name, int l) {
        auto* lw = new QListWidget(Frame2);
        lw->setObjectName(QString::fromLatin1(name));
        place(lw, l, 360, 2055, 2010);
        lw->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lw->setStyleSheet(QStringLiteral("QListWidget { ") + pale + QStringLiteral(" }"));
        lw->viewport()->installEventFilter(this);
        lw->viewport()->setAcceptDrops(true);
        return lw;
    };
    lstFields = list("lstFields", 3105);
    lstInput = list("lstInput", 6105);
    cmdAllToInput = button(Frame2, "cmdAllToInput", QStringLiteral(">>"), 5430, 720, 375, 255, true);
    cmdOneToInput = button(Frame2, "cmdOneToInput", QStringLiteral(">"), 5430, 1080, 375, 255, true);
    cmdOneFromInput = button(Frame2, "cmdOneFromInput", QStringLiteral("<"), 5430, 1440, 375, 255, true);
    cmdAllFromInput = button(Frame2, "cmdAllFromInput", QStringLiteral("<<"), 5430, 1800, 375, 255, true);
    imgAssist = new QWidget(Frame2);
    imgAssist->setObjectName(QStringLiteral("imgAssist"));
    place(imgAssist, 120, 960, 2775, 1095);
    Label1 = label(Frame2, "Label1", QStringLiteral("Prediction Field"), 705, 960, 1455, 255);
    lblPrediction = label(Frame2, "lblPrediction", QString(), 240, 1230, 2175, 285);
    lblPrediction->setStyleSheet(pale + QStringLiteral("border: 1px solid black;"));
    cmdToPrediction = button(Frame2, "cmdToPrediction", QStringLiteral("<"), 2505, 1080, 375, 255, true);
    cmdFromPrediction = button(Frame2, "cmdFromPrediction", QStringLiteral(">"), 2505, 1440, 375, 255, true);
    cmdAdvanced = button(Frame2, "cmdAdvanced", QStringLiteral("Advanced >>"), 6585, 2520, 1575, 375);
    for (QWidget* target : {static_cast<QWidget*>(imgAssist), static_cast<QWidget*>(Label1),
                            static_cast<QWidget*>(lblPrediction)}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
    cmdOneToInput->setEnabled(false);
    cmdOneFromInput->setEnabled(false);

    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(cmbTableList, &QComboBox::activated, this, [this](int i) { ChooseTable(cmbTableList->itemText(i)); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdAdvanced, &QPushButton::clicked, this, [this] { cmdAdvanced_Click(); });
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

void frmConfPrj::ShowSourceLabel(bool italic)
{
    lblDatabase->setFont(SansFont(9.75, true, italic));
    cmbTableList->setFont(SansFont(9.75, true, italic));
    if (!italic)
        cmbTableList->setStyleSheet(ColorSheet(kBlue, kGreen));
}

// --- Data source and table -----------------------------------------------------------------

QString frmConfPrj::ParseName(const QString& source)
{
    QString shown;
    Procedure(QStringLiteral("frmConfPrj::ParseName"), [&] {
        if (source.isEmpty())
            return;
        if (source.contains(QStringLiteral("ODBC;"))) {
            shown = DsnOf(source);
            chkODBC->setChecked(true);
            return;
        }
        CFile file;
        file.SetFileName(source);
        shown = file.TrimPath();
    });
    return shown;
}

void frmConfPrj::cmdBrowse_Click()
{
    if (!cmdBrowse->isEnabled())
        return;
    try {
        chkODBC->setChecked(false);
        CCommonDialog dialog;
        dialog.SetFilter(QStringLiteral("Access DB (*.mdb)|*.mdb|Korvan Sample (*.kvs)|*.kvs|Any (*.*)|*.*"));
        dialog.SetFilterIndex(1);
        dialog.SetFileName(QStringLiteral("*.mdb;*.kvs"));
        dialog.SetInitDir(Utilities::GetSetting(QStringLiteral("Config"), QStringLiteral("LastDataPath"),
                                                AppPaths::ProgramFolder()));
        dialog.SetDialogTitle(QStringLiteral("Select Data Source"));
        dialog.SetFlags(dialog.Flags() + 4);
        dialog.SetFilter(dialog.Filter() + QStringLiteral("|ODBC () |"));
        dialog.SetUserHook(&dbUtilities::FileDialogHook);
        gOdbcChosen = false;
        dialog.SethWnd(this);
        dialog.ShowOpen();
        if (gOdbcChosen) {
            chkODBC->setChecked(true);
            OpenOdbcSource();
            return;
        }
        if (dialog.UserCancel())
            return;
        const QString chosen = dialog.FileName();
        {
            kdb::Database probe = Utilities::OpenDb(chosen, true);
            if (!probe.IsOpen())
                return;
        }
        SetChanged();
        m_previousSource = m_databaseFileName.isEmpty() ? chosen : m_databaseFileName;
        m_databaseFileName = chosen;
        lblDatabase->setText(ParseName(m_databaseFileName));
        CFile file;
        file.SetFileName(chosen);
        Utilities::SaveSetting(QStringLiteral("Config"), QStringLiteral("LastDataPath"), file.Drive() + file.Path());
        ShowSourceLabel(false);
        FillList();
        cmbTableList->setEnabled(true);
        update();
        if (cmbTableList->count() == 1 && dbUtilities::HasPrimaryKey(m_databaseFileName, cmbTableList->itemText(0))) {
            cmbTableList->setCurrentIndex(0);
            ChooseTable(cmbTableList->itemText(0));
        }
    } catch (...) {
        const KvError e = CurrentError();
        if (e.number() == KvErr::CouldNotLockFile)
            Prompts::MsgBox(QStringLiteral(
                "This database could not be opened.  Make sure that no other programs are using it and that the drive containing it is writeable."),
                            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("File In Use"));
        else
            ErrorBox::ShowStandard(e, QStringLiteral("frmConfPrj::cmdBrowse_Click"));
    }
}

void frmConfPrj::OpenOdbcSource()
{
    kdb::Database db = Utilities::OpenDb(QStringLiteral("ODBC;"), true);
    if (!db.IsOpen())
        return;
    const QString connect = db.Connect();
    lblDatabase->setText(DsnOf(connect));
    ShowSourceLabel(false);
    cmbTableList->clear();
    cmbTableList->addItems(db.TableNames());
    cmbTableList->setCurrentIndex(-1);
    cmbTableList->setEnabled(true);
    m_databaseFileName = connect;
    db.Close();
}

bool frmConfPrj::FillList()
{
    bool result = false;
    try {
        QSignalBlocker block(cmbTableList);
        cmbTableList->clear();
        if (m_databaseFileName.isEmpty()) {
            m_tableName.clear();
            return false;
        }
        if (!Utilities::FileExists(m_databaseFileName))
            throw KvError(KvErr::NotAValidPath, QStringLiteral("frmTableList"), QStringLiteral("File Does Not Exist"));
        kdb::Database db = kdb::Database::OpenSource(m_databaseFileName, true);
        for (const QString& name : db.TableNames()) {
            cmbTableList->addItem(name);
            if (!m_tableName.isEmpty() && name == m_tableName)
                cmbTableList->setCurrentIndex(cmbTableList->count() - 1);
        }
        db.Close();
        if (cmbTableList->count() == 0) {
            m_tableName.clear();
            return false;
        }
        if (m_tableName.isEmpty())
            cmbTableList->setCurrentIndex(-1);
        result = true;
    } catch (...) {
        const KvError e = CurrentError();
        if (e.number() == KvErr::CouldNotLockFile)
            Prompts::MsgBox(QStringLiteral(
                "This database could not be opened.  Make sure that no other programs are using it and the drive is writeable."),
                            MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("File In Use"));
        else
            ErrorBox::ShowStandard(e, QStringLiteral("frmConfPrj::FillList"));
        result = false;
    }
    return result;
}

void frmConfPrj::ResetTableList()
{
    QSignalBlocker block(cmbTableList);
    cmbTableList->setCurrentIndex(-1);
    cmbTableList->setPlaceholderText(QStringLiteral("- Select Table -"));
}

void frmConfPrj::ChooseTable(const QString& name)
{
    Say(QString());
    repaint();
    if (name == m_tableName && !name.isEmpty()) {
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
        lstFields->setFocus();
        SetChanged();
    }
}

bool frmConfPrj::ChooseFirstTable(const QString& name)
{
    if (!dbUtilities::HasPrimaryKey(m_databaseFileName, name)) {
        Prompts::MsgBox(QStringLiteral("Unable to use table: ") + name + QStringLiteral(" ") + QLatin1Char('\n')
                            + QStringLiteral("This table requires a single field Primary Key."),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Unable to use table"));
        m_tableName.clear();
        ResetTableList();
        cmdBrowse->setFocus();
        return false;
    }
    CNetworkProject* net = CurrentNetwork();
    if (!net)
        throw KvError(KvErr::ObjectNotSet);
    std::shared_ptr<CDataDef> ddo = net->DDO();
    if (!ddo)
        throw KvError(KvErr::ObjectNotSet);
    net->Attach(m_databaseFileName, name);
    // Attach shows its own failure; the table counts only when the definition took it.
    if (ddo->TableName() != name || ddo->NumFields() < 1) {
        ResetTableList();
        return false;
    }
    m_tableName = name;
    if (ddo->RecordCount() < net->TrainHigh())
        net->SetTrainHigh(ddo->RecordCount());
    if (ddo->RecordCount() < net->TestHigh())
        net->SetTestHigh(ddo->RecordCount());

    Say(QStringLiteral("Gathering Statistics..."));
    // The statistics show their own progress on the status bar while they read.
    ddo->GatherStats(false);
    gVeltra().StatusBar().Message(QString::number(ddo->RecordCount()) + QStringLiteral(" Rows"), true);
    m_dataDef = ddo;
    Say(QStringLiteral("Table Selected..."));

    m_tableChosen = true;
    cmbTableList->hide();
    lblTable->setText(name);
    lblTable->show();
    cmdBrowse->setEnabled(false);
    chkODBC->setEnabled(false);
    Frame2->setEnabled(true);
    FillFieldList();
    return true;
}

void frmConfPrj::ChooseLaterTable(const QString& name)
{
    auto candidate = std::make_shared<CDataDef>();
    candidate->Initialize(m_databaseFileName, name);
    if (m_dataDef->IsCompatable(candidate.get())) {
        m_dataDef->SetDBFileName(m_databaseFileName);
        m_tableName = name;
        m_dataDef->SetTableName(name);
        m_tableChosen = true;
        Frame2->setEnabled(true);
        FillFieldList();
        lstFields->setFocus();
        SetChanged();
        return;
    }
    Prompts::MsgBox(QStringLiteral(
                        "Database Tables are not compatable.  Check the tables for: Field Name, Field Type and Field Order."),
                    MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Change Table Error"));
    if (!m_previousSource.isEmpty()) {
        m_databaseFileName = m_previousSource;
        lblDatabase->setText(ParseName(m_databaseFileName));
        m_previousSource.clear();
    }
    m_tableName = m_dataDef->TableName();
    FillList();
}

// --- Field roles ---------------------------------------------------------------------------

void frmConfPrj::FillFieldList()
{
    Procedure(QStringLiteral("frmConfPrj::FillFieldList"), [&] {
        if (!m_dataDef)
            return;
        const int16_t nodes = m_rules.Nodes();
        m_rules.Fill(CRoleRules::FieldsOf(*m_dataDef));
        m_rules.SetNodes(nodes);
        SyncLists();
    });
}

QList<int16_t> frmConfPrj::SelectedNumbers(QListWidget* list) const
{
    QList<int16_t> numbers;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            numbers << int16_t(list->item(i)->data(Utilities::ItemDataRole).toInt());
    return numbers;
}

void frmConfPrj::SyncLists()
{
    const auto fill = [this](QListWidget* list, const QList<RoleItem>& items) {
        const QList<int16_t> selected = SelectedNumbers(list);
        QSignalBlocker block(list);
        list->clear();
        for (const RoleItem& item : items) {
            auto* entry = new QListWidgetItem(item.name, list);
            entry->setData(Utilities::ItemDataRole, int(item.number));
            entry->setSelected(selected.contains(item.number));
        }
    };
    fill(lstFields, m_rules.Fields());
    fill(lstInput, m_rules.Inputs());
    lblPrediction->setText(m_rules.PredictionName());
    UpdateArrowButtons();
}

void frmConfPrj::UpdateArrowButtons()
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
        cmdOk->setEnabled(b.ok);
    });
}

void frmConfPrj::ShowNodes()
{
    if (m_rules.IsBackProp())
        Utilities::SetNodesPanel(QString::number(m_rules.Nodes()));
}

void frmConfPrj::SetNodes(int16_t nodes)
{
    m_rules.SetNodes(nodes);
    ShowNodes();
}

void frmConfPrj::DisableCancel()
{
    cmdCancel->setEnabled(false);
}

void frmConfPrj::ListClicked(Place list)
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

void frmConfPrj::cmdOneToInput_Click()
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

void frmConfPrj::cmdAllToInput_Click()
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

void frmConfPrj::cmdOneFromInput_Click()
{
    Say(QString());
    m_rules.FromInputs(SelectedNumbers(lstInput));
    ShowNodes();
    SetChanged();
    SyncLists();
}

void frmConfPrj::cmdAllFromInput_Click()
{
    Say(QString());
    m_rules.FromInputs({}, true);
    ShowNodes();
    SetChanged();
    SyncLists();
}

void frmConfPrj::cmdToPrediction_Click()
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

void frmConfPrj::cmdFromPrediction_Click()
{
    Procedure(QStringLiteral("frmConfPrj::cmdFromPrediction_Click"), [&] {
        m_rules.FromPrediction();
        SetChanged();
        SyncLists();
    });
}

CRoleRules::DragIcon frmConfPrj::DragEnter(Place target, Place source) const
{
    QListWidget* list = source == Place::Fields ? lstFields : source == Place::Inputs ? lstInput : nullptr;
    int16_t first = 0;
    if (list)
        for (int i = 0; i < list->count() && first == 0; ++i)
            if (list->item(i)->isSelected())
                first = int16_t(list->item(i)->data(Utilities::ItemDataRole).toInt());
    return m_rules.DragEnter(target, source, first);
}

void frmConfPrj::DropOn(Place target, Place source)
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

CRoleRules::Place frmConfPrj::PlaceOf(QObject* watched) const
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

bool frmConfPrj::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblDatabase && event->type() == QEvent::MouseButtonRelease) {
        if (cmdBrowse->isEnabled())
            QTimer::singleShot(0, this, [this] { cmdBrowse_Click(); });
        return false;
    }
    const Place place = PlaceOf(watched);
    if (place == Place::Other)
        return CConfigWindow::eventFilter(watched, event);
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
    return CConfigWindow::eventFilter(watched, event);
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
                RequireWritable(net->ProjectFileName());
            End([] {
                CProcess& p = gProcess();
                if (p.IsTested()) {
                    gNavigate().Navigate(navTested);
                    modMenu::RunCommand(ToolName::BrowseTest);
                } else if (p.IsSplit()) {
                    gNavigate().Navigate(navSplit);
                    modMenu::RunCommand(ToolName::TrainBP);
                } else if (p.IsConfigured()) {
                    gNavigate().Navigate(navConfigured);
                    modMenu::RunCommand(ToolName::Split);
                } else {
                    gNavigate().Navigate(navOpened);
                    modMenu::RunCommand(ToolName::ShowAll);
                }
            });
            return;
        }
        if (!net || !m_dataDef)
            throw KvError(KvErr::ObjectNotSet);
        // A table with fewer rows than one training range needs could never be split or
        // trained: refused before anything is written.
        if (const int32_t rows = m_dataDef->RecordCount(); rows < MinTrainRows) {
            Prompts::MsgBox(QStringLiteral("The table: [") + m_tableName + QStringLiteral("] has ")
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
        const QString projectFile = net->ProjectFileName();
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
            Prompts::MsgBox(ClassMessage(m_rules.PredictionName(), n), MsgButtons::Ok, MsgIcon::Exclamation,
                            n > MaxSFamClasses ? QStringLiteral("Too Many Classes") : QStringLiteral("Not Enough Classes"));
            cmdOk->setEnabled(false);
            return true;
        };
        if (m_nnType == ntSFam && refusedClasses(SourceClassCount(projectFile, m_rules.PredictionName())))
            return;
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
        for (const RoleItem& item : m_rules.Inputs())
            ddo.SetUserMatchType(item.number, roleInput);
        QCoreApplication::processEvents();
        ddo.SetUserMatchType(m_rules.PredictionNumber(), m_nnType == ntBackProp ? roleBPPredict : roleSFamPredict);
        QCoreApplication::processEvents();
        // Each step has shown its own box when it fails; OK then ends with the window open.
        // Once the reset went through the training is gone, whatever follows.
        const auto trainingGone = [] {
            gProcess().SetIsTested(false);
            gProcess().SetIsTrained(false);
        };
        if (m_nnType == ntSFam) {
            CSFam& sfam = *gSFam();
            if (!sfam.Reset())
                return;
            trainingGone();
            QCoreApplication::processEvents();
            if (!sfam.BuildClassList())
                return;
            QCoreApplication::processEvents();
            if (refusedClasses(ClassListCount(projectFile)) || !sfam.SaveConfig())
                return;
            Utilities::SetNodesPanel(QStringLiteral("0"));
        } else if (m_nnType == ntBackProp) {
            CBackProp& bp = *gBackProp();
            if (!bp.Reset())
                return;
            trainingGone();
            QCoreApplication::processEvents();
            int16_t nodes = m_rules.Nodes();
            if (nodes < MinHiddenNodes || nodes > MaxHiddenNodes)
                nodes = CRoleRules::DefaultNodes(m_rules.Inputs().size());
            const int16_t oldNodes = bp.CurrentNodes();
            bp.SetCurrentNodes(nodes);
            if (!bp.SaveConfig()) {
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
        if (gBackProp())
            Utilities::SetNodesPanel(QString::number(gBackProp()->CurrentNodes()));
    });
    CNetworkProject* net = CurrentNetwork();
    QString path;
    IgnoreErrors([&] {
        if (net)
            path = net->ProjectFileName();
    });
    const QPointer<frmConfPrj> self(this);
    const auto stillOurs = [net, path, self] {
        const frmConfPrj* open = frmConfPrj::Current();
        return net && CurrentNetwork() == net && net->ProjectFileName() == path
               && (!open || open == self.data() || open->m_ending);
    };
    // Only the project this New command made, never committed, is removed.
    const bool remove = m_createdByNew && !gProcess().IsConfigured() && !path.isEmpty();
    const auto removeProject = [path] {
        IgnoreErrors([] { Utilities::StatusMessage(QStringLiteral("Removing empty project...")); });
        IgnoreErrors([] { modMenu::FileClose(); });
        IgnoreErrors([&] { QFile::remove(path); });
        IgnoreErrors([] { Utilities::StatusMessage(QString()); });
    };
    const auto view = [] {
        CProcess& p = gProcess();
        if (p.IsTested())
            modMenu::RunCommand(ToolName::BrowseTest);
        else if (p.IsSplit())
            modMenu::RunCommand(ToolName::TrainBP);
        else if (p.IsConfigured())
            modMenu::RunCommand(ToolName::Split);
    };
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
