#include "config/roles.h"

#include "data/datadef.h"
#include "data/fieldtypes.h"
#include "network/networkproject.h"

#include <algorithm>

bool CRoleRules::InputAllowed(int16_t type)
{
    return dbUtilities::NetworkReads(type);
}

bool CRoleRules::BPPredictionAllowed(int16_t type)
{
    return type != AutoIncrType && dbUtilities::NetworkReads(type);
}

QString CRoleRules::PredictionRefusal(int16_t type) const
{
    if (IsBackProp()) {
        if (type == AutoIncrType)
            return QStringLiteral("AutoIncrement fields not allowed for Prediction");
        if (!BPPredictionAllowed(type))
            return QStringLiteral("Only Numeric fields allowed for BackProp Prediction");
        return {};
    }
    if (type == AutoIncrType)
        return QStringLiteral("AutoIncrement field not allowed for Prediction");
    return {};
}

QString CRoleRules::OnlyNumericInputsText()
{
    return QStringLiteral("Only Numeric fields allowed as inputs.");
}

QString CRoleRules::FieldStatusText(const QString& name, int16_t type)
{
    return QStringLiteral("Field: [") + name + QStringLiteral("]         Type: ")
           + dbUtilities::FieldCategoryName(type) + QStringLiteral(" (") + dbUtilities::FieldTypeName(type)
           + QLatin1Char(')');
}

QList<RoleField> CRoleRules::FieldsOf(const CDataDef& ddo)
{
    QList<RoleField> fields;
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        fields.append({ddo.FieldName(i), ddo.FieldType(i), ddo.UserMatchType(i)});
    return fields;
}

void CRoleRules::Fill(const QList<RoleField>& fields)
{
    m_all = QList<RoleField>{RoleField{}} + fields;
    m_fields.clear();
    m_inputs.clear();
    m_predictionName.clear();
    m_predictIndex = 0;
    for (qsizetype i = 1; i < m_all.size(); ++i) {
        const RoleField& f = m_all[i];
        const RoleItem item{f.name, int16_t(i)};
        if (f.role == -1) {
            m_fields.append(item);
        } else if (f.role == 1) {
            m_inputs.append(item);
        } else if (f.role == 15 || f.role == 16) {
            m_predictionName = f.name;
            m_predictIndex = int16_t(i);
        }
    }
}

int16_t CRoleRules::TypeOf(int16_t number) const
{
    return number > 0 && number < m_all.size() ? m_all[number].type : int16_t(0);
}

QString CRoleRules::NameOf(int16_t number) const
{
    return number > 0 && number < m_all.size() ? m_all[number].name : QString();
}

void CRoleRules::InsertOrdered(QList<RoleItem>& list, const RoleItem& item)
{
    const auto at = std::find_if(list.begin(), list.end(),
                                 [&](const RoleItem& i) { return i.number >= item.number; });
    list.insert(at, item);
}

qsizetype CRoleRules::IndexOf(const QList<RoleItem>& list, int16_t number)
{
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list[i].number == number)
            return i;
    return -1;
}

QString CRoleRules::ToInputs(const QList<int16_t>& numbers, bool all)
{
    QString status;
    for (qsizetype i = m_fields.size() - 1; i >= 0; --i) {
        const RoleItem item = m_fields[i];
        if (!all && !numbers.contains(item.number))
            continue;
        if (InputAllowed(TypeOf(item.number))) {
            InsertOrdered(m_inputs, item);
            m_fields.removeAt(i);
        } else {
            status = OnlyNumericInputsText();
        }
    }
    RecomputeNodes();
    return status;
}

QString CRoleRules::FromInputs(const QList<int16_t>& numbers, bool all)
{
    for (qsizetype i = m_inputs.size() - 1; i >= 0; --i) {
        const RoleItem item = m_inputs[i];
        if (!all && !numbers.contains(item.number))
            continue;
        InsertOrdered(m_fields, item);
        m_inputs.removeAt(i);
    }
    RecomputeNodes();
    return {};
}

QString CRoleRules::ToPrediction(Place from, int16_t number)
{
    QList<RoleItem>* list = from == Place::Fields ? &m_fields : from == Place::Inputs ? &m_inputs : nullptr;
    if (!list || number <= 0)
        return {};
    const qsizetype at = IndexOf(*list, number);
    if (at < 0)
        return {};
    const QString refusal = PredictionRefusal(TypeOf(number));
    if (!refusal.isEmpty())
        return refusal;
    const QString oldName = m_predictionName;
    const int16_t oldNumber = m_predictIndex;
    m_predictionName = (*list)[at].name;
    m_predictIndex = number;
    list->removeAt(at);
    if (!oldName.isEmpty())
        InsertOrdered(m_fields, RoleItem{oldName, oldNumber});
    return {};
}

void CRoleRules::FromPrediction()
{
    if (m_predictionName.isEmpty())
        return;
    InsertOrdered(m_fields, RoleItem{m_predictionName, m_predictIndex});
    m_predictionName.clear();
    m_predictIndex = 0;
}

QString CRoleRules::PredictionToInputs()
{
    QString status;
    if (!m_predictionName.isEmpty()) {
        if (InputAllowed(TypeOf(m_predictIndex))) {
            InsertOrdered(m_inputs, RoleItem{m_predictionName, m_predictIndex});
            m_predictionName.clear();
            m_predictIndex = 0;
        } else {
            status = OnlyNumericInputsText();
        }
    }
    RecomputeNodes();
    return status;
}

RoleButtons CRoleRules::Buttons(int selectedFields, int selectedInputs) const
{
    RoleButtons b;
    b.fromPrediction = HasPrediction();
    if (!m_fields.isEmpty()) {
        b.allToInput = true;
        b.toPrediction = selectedFields == 1;
        b.oneToInput = selectedFields >= 1;
    }
    if (!m_inputs.isEmpty()) {
        b.allFromInput = true;
        b.oneFromInput = selectedInputs > 0;
    }
    b.ok = !m_inputs.isEmpty() && HasPrediction();
    return b;
}

CRoleRules::DragIcon CRoleRules::DragEnter(Place target, Place source, int16_t firstSelected) const
{
    const auto pick = [](bool ok) { return ok ? DragIcon::Drop : DragIcon::NotDrop; };
    switch (target) {
    case Place::Prediction:
        if (source == Place::Fields || source == Place::Inputs)
            return pick(firstSelected > 0 && PredictionRefusal(TypeOf(firstSelected)).isEmpty());
        return DragIcon::Unchanged;
    case Place::Inputs:
        if (source == Place::Fields)
            return pick(firstSelected > 0 && InputAllowed(TypeOf(firstSelected)));
        if (source == Place::Prediction)
            return pick(InputAllowed(TypeOf(m_predictIndex)));
        return DragIcon::Unchanged;
    case Place::Fields:
        return source == Place::Fields ? DragIcon::Unchanged : DragIcon::Drop;
    case Place::Other:
        break;
    }
    return DragIcon::Unchanged;
}

int16_t CRoleRules::DefaultNodes(int64_t inputs)
{
    // The shared rule has no upper bound; past about a thousand inputs it would pass the most
    // the configuration accepts.
    return std::min(DefaultHiddenNodes(inputs), MaxHiddenNodes);
}

bool CRoleRules::RecomputeNodes()
{
    if (!IsBackProp())
        return false;
    m_nodes = DefaultNodes(m_inputs.size());
    return true;
}
