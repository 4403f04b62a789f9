// The configuration window's data-source pane: Browse, the ODBC choice and the table list.
#include "config/sourcepane.h"

#include <QFileInfo>

#include "config/configurelook.h"
#include "core/apppaths.h"
#include "core/cfile.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/winhelpers.h"
#include "data/dbutilities.h"
#include "kdb/kdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace ConfLook;

namespace {

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

CSourcePane::CSourcePane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    setAutoFillBackground(true);
    PlaceAt(this, 120, 0, 8535, 1215);
    const QString blueGreen = ColorSheet(kBlue, kGreen);
    const QString heading = QStringLiteral("color: %1;").arg(Utilities::ColorFromBgr(kLabelText).name());
    QLabel* l2 = Label(this, "Label2", QStringLiteral("Database Source File:"), 120, 240, 1920, 195);
    l2->setFont(SansFont(8.25, true));
    l2->setStyleSheet(heading);
    l2->adjustSize();
    lblDatabase = Label(this, "lblDatabase", QStringLiteral("- Select Database File -"), 120, 525, 3495, 315);
    lblDatabase->setStyleSheet(blueGreen + QStringLiteral("border: 1px solid black;"));
    lblDatabase->installEventFilter(this);
    cmdBrowse = Button(this, "cmdBrowse", QStringLiteral("Browse..."), 2280, 120, 1335, 375);
    chkODBC = new QCheckBox(QStringLiteral("Use ODBC"), this);
    chkODBC->setObjectName(QStringLiteral("chkODBC"));
    PlaceAt(chkODBC, 2400, 900, 1215, 195);
    chkODBC->setFocusPolicy(Qt::NoFocus);
    chkODBC->setAttribute(Qt::WA_TransparentForMouseEvents); // shows the kind; no click of its own
    QLabel* l3 = Label(this, "Label3", QStringLiteral("Table Name:"), 3960, 240, 1155, 195);
    l3->setFont(SansFont(8.25, true));
    l3->setStyleSheet(heading);
    l3->adjustSize();
    cmbTableList = new QComboBox(this);
    cmbTableList->setObjectName(QStringLiteral("cmbTableList"));
    PlaceAt(cmbTableList, 3960, 495, 2655, 360);
    cmbTableList->setPlaceholderText(QStringLiteral("- Select Table -"));
    cmbTableList->setFont(SansFont(9.75, true, true));
    lblTable = Label(this, "lblTable", QStringLiteral("- Select Table -"), 3960, 495, 2655, 360);
    lblTable->setStyleSheet(blueGreen + QStringLiteral("border: 1px solid black;"));
    lblTable->setFont(SansFont(9.75, true, true));
    lblTable->hide();

    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(cmbTableList, &QComboBox::activated, this, [this](int i) { ChooseTable(cmbTableList->itemText(i)); });
}

bool CSourcePane::Load()
{
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
        return true;
    }
    ShowSourceLabel(true);
    lblDatabase->setText(QStringLiteral("- Select Database File -"));
    cmbTableList->setStyleSheet(QStringLiteral("color: %1;").arg(palette().color(QPalette::Disabled, QPalette::Text).name()));
    cmbTableList->setEnabled(false);
    chkODBC->setChecked(false);
    return false;
}

void CSourcePane::ShowChosenTable(const QString& name)
{
    cmbTableList->hide();
    lblTable->setText(name);
    lblTable->show();
    cmdBrowse->setEnabled(false);
    chkODBC->setEnabled(false);
}

void CSourcePane::RestorePreviousSource()
{
    if (!m_previousSource.isEmpty()) {
        m_databaseFileName = m_previousSource;
        lblDatabase->setText(ParseName(m_databaseFileName));
        m_previousSource.clear();
    }
}

void CSourcePane::FocusBrowse()
{
    cmdBrowse->setFocus();
}

bool CSourcePane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblDatabase && event->type() == QEvent::MouseButtonRelease) {
        if (cmdBrowse->isEnabled())
            QTimer::singleShot(0, this, [this] { cmdBrowse_Click(); });
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void CSourcePane::ShowSourceLabel(bool italic)
{
    lblDatabase->setFont(SansFont(9.75, true, italic));
    cmbTableList->setFont(SansFont(9.75, true, italic));
    if (!italic)
        cmbTableList->setStyleSheet(ColorSheet(kBlue, kGreen));
}

QString CSourcePane::ParseName(const QString& source)
{
    QString shown;
    Procedure(QStringLiteral("frmConfPrj::ParseName"), [&] {
        if (source.isEmpty())
            return;
        if (kdb::IsOdbcConnect(source)) {
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

void CSourcePane::cmdBrowse_Click()
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
        bool odbcChosen = false;
        dialog.SetUserHook([&odbcChosen](int entry) {
            const bool odbc = dbUtilities::FileDialogHook(entry);
            odbcChosen = odbcChosen || odbc;
            return odbc;
        });
        dialog.SethWnd(parentWidget());   // the window's dialog, placed over the window
        dialog.ShowOpen();
        if (odbcChosen) {
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

void CSourcePane::OpenOdbcSource()
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

bool CSourcePane::FillList()
{
    bool result = false;
    try {
        QSignalBlocker block(cmbTableList);
        cmbTableList->clear();
        if (m_databaseFileName.isEmpty()) {
            m_tableName.clear();
            return false;
        }
        if (!Utilities::FileExists(m_databaseFileName)) {
            const QFileInfo info(m_databaseFileName);
            const QString why = Utilities::UnreadableReason(m_databaseFileName);
            throw KvError(KvErr::NotAValidPath, QStringLiteral("frmTableList"),
                          (info.exists() || info.isSymLink()) && !why.isEmpty()
                              ? QStringLiteral("File Cannot Be Read: ") + why
                              : QStringLiteral("File Does Not Exist"));
        }
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

void CSourcePane::ResetTableList()
{
    QSignalBlocker block(cmbTableList);
    cmbTableList->setCurrentIndex(-1);
    cmbTableList->setPlaceholderText(QStringLiteral("- Select Table -"));
}
