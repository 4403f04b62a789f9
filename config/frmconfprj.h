// "Configure This Project": the child window in which the user gives the open network project
// its data source, its table and each field's role, then commits (OK) or drops (Cancel) the
// arrangement. The role rules live in CRoleRules; this window turns clicks and drops into them.
#pragma once

#include "config/roles.h"

#include "config/configwindow.h"
#include "core/status.h"

#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

class CDataDef;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class frmConfigProj;

class frmConfPrj : public CConfigWindow {
    Q_OBJECT
public:
    // `createdByNew`: the New command has just created the project file, so Cancel may remove
    // the never-committed project.
    explicit frmConfPrj(bool createdByNew, QWidget* parent = nullptr);
    ~frmConfPrj() override;

    // The open window, if any.
    static frmConfPrj* Current();
    // Opens the window for the open project as a child of the main window (or activates it).
    static frmConfPrj* Open(bool createdByNew);

    int32_t NNType() const { return m_nnType; }
    QString DatabaseFileName() const { return m_databaseFileName; }
    QString TableName() const { return m_tableName; }
    bool Changed() const { return m_changed; }
    // Set by the advanced window's OK when it changed a limit or the node count.
    bool mMinMaxChanged = false;

    // What the advanced window reads and sets.
    int InputCount() const { return int(m_rules.Inputs().size()); }
    int16_t Nodes() const { return m_rules.Nodes(); }
    void SetNodes(int16_t nodes);
    void DisableCancel();
    // The user limits (min, max per field) the advanced window's OK handed over; OK writes them
    // into the data definition, Cancel drops them. Empty until then.
    const QList<std::pair<double, double>>& PendingLimits() const { return m_pendingLimits; }
    void SetPendingLimits(const QList<std::pair<double, double>>& limits) { m_pendingLimits = limits; }
    const CRoleRules& Rules() const { return m_rules; }

    // --- The user's actions (the controls call these; tests too) -------------------------
    void cmdBrowse_Click();
    void ChooseTable(const QString& name);
    void cmdAdvanced_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdOneToInput_Click();
    void cmdAllToInput_Click();
    void cmdOneFromInput_Click();
    void cmdAllFromInput_Click();
    void cmdToPrediction_Click();
    void cmdFromPrediction_Click();
    // A drop of `source`'s dragged entries on `target`, under the role rules' table of what
    // each place accepts from each other place.
    void DropOn(CRoleRules::Place target, CRoleRules::Place source);
    // The picture a drag of `source` shows on entering `target`.
    CRoleRules::DragIcon DragEnter(CRoleRules::Place target, CRoleRules::Place source) const;
    void ListClicked(CRoleRules::Place list);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void Activated() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Initialize();
    void Form_Load();
    bool FillList();
    QString ParseName(const QString& source);
    void OpenOdbcSource();
    void FillFieldList();
    void UpdateArrowButtons();
    void SyncLists();
    void ShowNodes();
    void SetChanged() { m_changed = true; }
    // The window's own status texts: they go with the window.
    void Say(const QString& text) { m_status.Show(text); }
    void ShowSourceLabel(bool italic);
    void ResetTableList();
    bool ChooseFirstTable(const QString& name);
    void ChooseLaterTable(const QString& name);
    QList<int16_t> SelectedNumbers(QListWidget* list) const;
    CRoleRules::Place PlaceOf(QObject* watched) const;
    // Cancel's work; `closing`: the window is already going (close box or unload).
    void Cancel(bool closing);
    // Ends the window (tools back, window closed) and runs `then` once it is gone.
    void End(std::function<void()> then);

    bool m_createdByNew;
    int32_t m_nnType = 0;
    QString m_databaseFileName;
    QString m_tableName;
    QString m_previousSource;
    std::shared_ptr<CDataDef> m_dataDef;
    bool m_tableChosen = false;
    bool m_changed = false;
    bool m_ending = false;
    CRoleRules m_rules;
    QList<std::pair<double, double>> m_pendingLimits;
    // The views that follow the window speak for themselves; none may find its texts.
    Status::CStatusText m_status{Status::CStatusText::OnEnd::Clear};

    QWidget* Frame1 = nullptr;
    QWidget* Frame2 = nullptr;
    QLabel* lblDatabase = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* chkODBC = nullptr;
    QComboBox* cmbTableList = nullptr;
    QLabel* lblTable = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;
    QListWidget* lstFields = nullptr;
    QListWidget* lstInput = nullptr;
    QPushButton* cmdAllToInput = nullptr;
    QPushButton* cmdOneToInput = nullptr;
    QPushButton* cmdOneFromInput = nullptr;
    QPushButton* cmdAllFromInput = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblPrediction = nullptr;
    QWidget* imgAssist = nullptr;
    QPushButton* cmdToPrediction = nullptr;
    QPushButton* cmdFromPrediction = nullptr;
    QPushButton* cmdAdvanced = nullptr;
    QPoint m_dragStart;
    bool m_dragEntered = false;
};
