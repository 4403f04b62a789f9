// "Advanced Configuration": the per-field user limits of the project's fields in a grid over a
// working copy, and for a back-propagation project the hidden-node count. OK checks and applies
// the copy and tells the configuration window; Cancel drops it.
#pragma once

#include "config/advancedmodel.h"

#include "config/configwindow.h"

#include <QPointer>
#include <cstdint>
#include <memory>

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
    QTableView* Grid() const { return tgSFamCfg; }
    QSpinBox* NodesBox() const { return txtNumNodes; }
    bool ChangedFlag() const { return m_changed; }

    void cmdSuggest_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void txtNumNodes_Change();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Activate();
    void CommitEdit();
    void EnablePrint(bool on);

    QPointer<frmConfPrj> m_owner;
    int32_t m_nnType = 0;
    QString m_databaseFileName;
    QString m_tableName;
    std::shared_ptr<CDataDef> m_ddo;
    CFieldLimitsModel m_model;
    bool m_changed = false;
    bool m_loading = true;

    QTableView* tgSFamCfg = nullptr;
    QLabel* lblNumNodes = nullptr;
    QSpinBox* txtNumNodes = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdSuggest = nullptr;
};
