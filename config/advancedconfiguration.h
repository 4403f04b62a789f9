// "Advanced Configuration": the per-field user limits of the project's fields in a grid over a
// working copy, and for a back-propagation project the hidden-node count. OK checks and applies
// the copy and tells the configuration window; Cancel drops it. The grid's left pane keeps the
// field names, types and user limits in sight while its right pane of statistics scrolls.
#pragma once

#include "config/advancedmodel.h"

#include "config/configwindow.h"
#include "core/status.h"

#include <QPointer>
#include <cstdint>
#include <memory>

class CBrowseGrid;
class CDataDef;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class frmConfPrj;

class frmConfigProj : public CConfigWindow {
    Q_OBJECT
public:
    explicit frmConfigProj(frmConfPrj* owner, QWidget* parent = nullptr);

    // The open window, if any; Open shows it as a child of the main window (or activates it).
    static frmConfigProj* Current();
    static frmConfigProj* Open(frmConfPrj* owner);

    int32_t NNType() const { return m_nnType; }
    QString DatabaseFileName() const { return m_databaseFileName; }
    QString TableName() const { return m_tableName; }
    CFieldLimitsModel& Model() { return m_model; }
    // The grid's two panes: names, types and user limits (left), statistics (right).
    QTableView* LeftPane() const;
    QTableView* RightPane() const;
    QSpinBox* NodesBox() const { return txtNumNodes; }
    bool ChangedFlag() const { return m_changed || m_model.Changed(); }

    void cmdSuggest_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdSet_Click();
    void txtNumNodes_Change();

protected:
    void Activated() override { Form_Activate(); }
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Activate();
    // Places the grid, the buttons and the node count in the window's size.
    void LayOut();
    void CommitEdit();
    // The cell of a refused edit that nothing has mended gets its editor back, holding the
    // refused text, with the refusal in the status bar. False when there is none.
    bool ReturnToRefusal();
    // The refused entry is given up: the cell keeps its value, the status its text.
    void DropRefusal();
    void EnablePrint(bool on);

    QPointer<frmConfPrj> m_owner;
    int32_t m_nnType = 0;
    QString m_databaseFileName;
    QString m_tableName;
    std::shared_ptr<CDataDef> m_ddo;
    CFieldLimitsModel m_model;
    // The node count was changed (the grid's changes the model tells).
    bool m_changed = false;
    bool m_setByHand = false;
    bool m_loading = true;
    // The window's refusals and warnings: a text mended, given up (Escape) or left with the
    // window gives the status bar back to the configuration window under it.
    Status::CStatusText m_status{Status::CStatusText::OnEnd::Restore};

    CBrowseGrid* tgSFamCfg = nullptr;
    QLabel* lblNumNodes = nullptr;
    QSpinBox* txtNumNodes = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSuggest = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdAuto = nullptr;
};
