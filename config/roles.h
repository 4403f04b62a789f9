// The field roles of the configuration window as plain data: which fields are left out, which
// are inputs and which one is predicted, the type rules of each network kind, every move between
// the three places, the arrow buttons' states, the drag-and-drop acceptance and the hidden-node
// count that follows the inputs. The window only turns clicks and drops into these calls.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>

class CDataDef;

// One field as the rules see it: its name, its type code and its role on entry.
struct RoleField {
    QString name;
    int16_t type = 0;
    int16_t role = -1;
};

// One entry of the field list or the input list: the field's name and number (1-based).
struct RoleItem {
    QString name;
    int16_t number = 0;
    bool operator==(const RoleItem&) const = default;
};

// The enabled state of the six arrow buttons and of OK.
struct RoleButtons {
    bool oneToInput = false;
    bool allToInput = false;
    bool oneFromInput = false;
    bool allFromInput = false;
    bool toPrediction = false;
    bool fromPrediction = false;
    bool ok = false;
    bool operator==(const RoleButtons&) const = default;
};

class CRoleRules {
public:
    enum class Place { Fields, Inputs, Prediction, Other };
    // What a drag over a target shows: the drop picture, the refusal picture, or no change.
    enum class DragIcon { Unchanged, Drop, NotDrop };

    // The kind decides the prediction rule and whether the node count follows the inputs:
    // 2 back-propagation, anything else SFAM.
    explicit CRoleRules(int32_t networkKind = 2) : m_kind(networkKind) {}

    // --- Type rules -----------------------------------------------------------------------
    static bool InputAllowed(int16_t type);
    static bool BPPredictionAllowed(int16_t type);
    // The status text that refuses `type` as the prediction field of this kind; empty when
    // it is accepted.
    QString PredictionRefusal(int16_t type) const;
    bool IsBackProp() const { return m_kind == 2; }

    // --- Filling ----------------------------------------------------------------------------
    // Fields numbered 1..n in table order, placed by their role: -1 the field list, 1 the
    // input list, 15 or 16 the prediction (the last such field wins), other roles nowhere.
    void Fill(const QList<RoleField>& fields);
    static QList<RoleField> FieldsOf(const CDataDef& ddo);

    // --- Places ---------------------------------------------------------------------------
    const QList<RoleItem>& Fields() const { return m_fields; }
    const QList<RoleItem>& Inputs() const { return m_inputs; }
    QString PredictionName() const { return m_predictionName; }
    int16_t PredictionNumber() const { return m_predictIndex; }
    bool HasPrediction() const { return !m_predictionName.isEmpty(); }
    int16_t TypeOf(int16_t number) const;
    QString NameOf(int16_t number) const;

    // --- Moves (each answers the status text to show, empty for none) ---------------------
    // Field list -> input list under the input rule: the given numbers, or all with `all`.
    // Refused fields stay; the text is shown once per refused field, the last one staying.
    QString ToInputs(const QList<int16_t>& numbers, bool all = false);
    // Input list -> field list (the given numbers, or all); items coming back always pass.
    QString FromInputs(const QList<int16_t>& numbers, bool all = false);
    // The candidate of `from` (field list or input list) becomes the prediction field; the
    // old prediction goes back to the field list. A refused candidate moves nothing.
    QString ToPrediction(Place from, int16_t number);
    // The prediction back to the field list (no-op without one).
    void FromPrediction();
    // The prediction dropped on the input list: moves when its type passes the input rule.
    QString PredictionToInputs();

    // --- Buttons, drag and drop -----------------------------------------------------------
    RoleButtons Buttons(int selectedFields, int selectedInputs) const;
    // The picture over `target` on entering it while `source` is dragged; `firstSelected` is
    // the first selected entry's number of a dragged list (0 when none).
    DragIcon DragEnter(Place target, Place source, int16_t firstSelected) const;

    // --- Node count -------------------------------------------------------------------------
    // The hidden-node count kept by the window: the starting value, then the default for the
    // input count after every move that the rules recompute it on (back-propagation only).
    int16_t Nodes() const { return m_nodes; }
    void SetNodes(int16_t nodes) { m_nodes = nodes; }
    // The default count for `inputs` input fields, within MinHiddenNodes..MaxHiddenNodes.
    static int16_t DefaultNodes(int64_t inputs);
    // Recomputes the count from the input list (back-propagation only); answers whether it did.
    bool RecomputeNodes();

    // --- Texts ----------------------------------------------------------------------------
    static QString FieldStatusText(const QString& name, int16_t type);
    static QString OnlyNumericInputsText();

private:
    static void InsertOrdered(QList<RoleItem>& list, const RoleItem& item);
    static qsizetype IndexOf(const QList<RoleItem>& list, int16_t number);

    int32_t m_kind;
    QList<RoleField> m_all; // index 0 unused
    QList<RoleItem> m_fields;
    QList<RoleItem> m_inputs;
    QString m_predictionName;
    int16_t m_predictIndex = 0;
    int16_t m_nodes = 0;
};
