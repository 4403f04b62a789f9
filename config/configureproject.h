// "Configure This Project": the child window in which the user gives the open network project
// its data source, its table and each field's role, then commits (OK) or drops (Cancel) the
// arrangement. Its two panes pick the source (CSourcePane) and give the fields their roles
// (CRolesPane); the window ties the chosen table to the project and commits.
#pragma once

#include "config/roles.h"
#include "config/rolespane.h"
#include "config/sourcepane.h"

#include "config/configwindow.h"
#include "core/status.h"

#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

class CDataDef;
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
    QString DatabaseFileName() const { return m_source->DatabaseFileName(); }
    QString TableName() const { return m_source->TableName(); }
    bool Changed() const { return m_changed; }
    // Set by the advanced window's OK when it changed a limit or the node count.
    bool mMinMaxChanged = false;

    // What the advanced window reads and sets.
    int InputCount() const { return int(Rules().Inputs().size()); }
    int16_t Nodes() const { return Rules().Nodes(); }
    void SetNodes(int16_t nodes);
    void DisableCancel();
    // The user limits (min, max per field) the advanced window's OK handed over; OK writes them
    // into the data definition, Cancel drops them. Empty until then.
    const QList<std::pair<double, double>>& PendingLimits() const { return m_pendingLimits; }
    void SetPendingLimits(const QList<std::pair<double, double>>& limits) { m_pendingLimits = limits; }
    const CRoleRules& Rules() const { return m_roles->Rules(); }

    // --- The user's actions (the controls call these; tests too) -------------------------
    void cmdBrowse_Click() { m_source->cmdBrowse_Click(); }
    void ChooseTable(const QString& name);
    void cmdAdvanced_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdOneToInput_Click() { m_roles->cmdOneToInput_Click(); }
    void cmdAllToInput_Click() { m_roles->cmdAllToInput_Click(); }
    void cmdOneFromInput_Click() { m_roles->cmdOneFromInput_Click(); }
    void cmdAllFromInput_Click() { m_roles->cmdAllFromInput_Click(); }
    void cmdToPrediction_Click() { m_roles->cmdToPrediction_Click(); }
    void cmdFromPrediction_Click() { m_roles->cmdFromPrediction_Click(); }
    // A drop of `source`'s dragged entries on `target`, under the role rules' table of what
    // each place accepts from each other place.
    void DropOn(CRoleRules::Place target, CRoleRules::Place source) { m_roles->DropOn(target, source); }
    // The picture a drag of `source` shows on entering `target`.
    CRoleRules::DragIcon DragEnter(CRoleRules::Place target, CRoleRules::Place source) const
    {
        return m_roles->DragEnter(target, source);
    }
    void ListClicked(CRoleRules::Place list) { m_roles->ListClicked(list); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void Activated() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Initialize();
    void Form_Load();
    void FillFieldList();
    void SetChanged() { m_changed = true; }
    // The window's own status texts: they go with the window.
    void Say(const QString& text) { m_status.Show(text); }
    bool ChooseFirstTable(const QString& name);
    void ChooseLaterTable(const QString& name);
    // Cancel's work; `closing`: the window is already going (close box or unload).
    void Cancel(bool closing);
    // Ends the window (tools back, window closed) and runs `then` once it is gone.
    void End(std::function<void()> then);

    bool m_createdByNew;
    int32_t m_nnType = 0;
    std::shared_ptr<CDataDef> m_dataDef;
    bool m_tableChosen = false;
    bool m_changed = false;
    bool m_ending = false;
    QList<std::pair<double, double>> m_pendingLimits;
    // The views that follow the window speak for themselves; none may find its texts.
    Status::CStatusText m_status{Status::CStatusText::OnEnd::Clear};

    CSourcePane* m_source = nullptr;   // "Frame1"
    CRolesPane* m_roles = nullptr;     // "Frame2"
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdAdvanced = nullptr;
};
