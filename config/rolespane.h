// The field-roles pane of the configuration window: the field, input and prediction places as
// lists with their arrow buttons and drags. The rules are CRoleRules; this pane turns clicks and
// drops into them and shows the result.
#pragma once

#include "config/roles.h"

#include <QPoint>
#include <QWidget>

class CDataDef;
class QLabel;
class QListWidget;
class QPushButton;

class CRolesPane : public QWidget {
    Q_OBJECT
public:
    explicit CRolesPane(QWidget* parent);

    CRoleRules& Rules() { return m_rules; }
    const CRoleRules& Rules() const { return m_rules; }
    // The fields of the definition in their roles; the node count stays.
    void FillFieldList(const CDataDef& ddo);
    void SetNodes(int16_t nodes);
    void FocusFields();

    void cmdOneToInput_Click();
    void cmdAllToInput_Click();
    void cmdOneFromInput_Click();
    void cmdAllFromInput_Click();
    void cmdToPrediction_Click();
    void cmdFromPrediction_Click();
    void DropOn(CRoleRules::Place target, CRoleRules::Place source);
    CRoleRules::DragIcon DragEnter(CRoleRules::Place target, CRoleRules::Place source) const;
    void ListClicked(CRoleRules::Place list);

signals:
    // A status text for the window to show (empty: clear it).
    void StatusText(const QString& text);
    // The user changed a role.
    void Changed();
    // Whether the roles as they stand allow OK.
    void OkAllowed(bool allowed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Say(const QString& text) { emit StatusText(text); }
    void SetChanged() { emit Changed(); }
    void UpdateArrowButtons();
    void SyncLists();
    void ShowNodes();
    QList<int16_t> SelectedNumbers(QListWidget* list) const;
    CRoleRules::Place PlaceOf(QObject* watched) const;

    CRoleRules m_rules;
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
    QPoint m_dragStart;
};
