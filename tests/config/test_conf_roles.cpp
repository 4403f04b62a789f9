// The role rules of the configuration window with the cases the design names: mixed types,
// ordered insertion, node counts, auto-increment, a second prediction, the button states.
#include "config/advancedmodel.h"
#include "config/roles.h"
#include "data/fieldtypes.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

namespace {

using Place = CRoleRules::Place;

QList<int16_t> Numbers(const QList<RoleItem>& items)
{
    QList<int16_t> n;
    for (const RoleItem& i : items)
        n << i.number;
    return n;
}

// Fields 1..8: Integer, Long, Date, Double, Text, Boolean, Double, Big Integer; plus an
// auto-increment key as field 9. All unused.
QList<RoleField> Table()
{
    const int16_t types[] = {3, 4, 8, 7, 10, 1, 7, 16, AutoIncrType};
    QList<RoleField> fields;
    for (int i = 0; i < 9; ++i)
        fields.append({QStringLiteral("f%1").arg(i + 1), types[i], -1});
    return fields;
}

} // namespace

TEST(ConfRoles, FillPlacesByRoleInFieldOrder)
{
    QList<RoleField> f = Table();
    f[1].role = 1;
    f[3].role = 1;
    f[4].role = 16;
    f[6].role = 15; // a later prediction code wins, whatever the kind
    f[7].role = 3;  // any other code: nowhere
    CRoleRules r(2);
    r.Fill(f);
    EXPECT_EQ(Numbers(r.Fields()), (QList<int16_t>{1, 3, 6, 9}));
    EXPECT_EQ(Numbers(r.Inputs()), (QList<int16_t>{2, 4}));
    EXPECT_EQ(r.PredictionName(), QStringLiteral("f7"));
    EXPECT_EQ(r.PredictionNumber(), 7);
}

TEST(ConfRoles, MixedTypesAndOrderedInsertion)
{
    CRoleRules r(2);
    r.Fill(Table());
    // Long (2), Text (5) and Double (7) selected: 2 and 7 move in order, 5 stays with the text.
    EXPECT_EQ(r.ToInputs({2, 5, 7}), CRoleRules::OnlyNumericInputsText());
    EXPECT_EQ(Numbers(r.Inputs()), (QList<int16_t>{2, 7}));
    EXPECT_TRUE(Numbers(r.Fields()).contains(5));
    // ">>" takes every field that passes, the Big Integer too; the text stays.
    EXPECT_EQ(r.ToInputs({}, true), CRoleRules::OnlyNumericInputsText());
    EXPECT_EQ(Numbers(r.Fields()), (QList<int16_t>{5}));
    EXPECT_EQ(Numbers(r.Inputs()), (QList<int16_t>{1, 2, 3, 4, 6, 7, 8, 9}));

    // Field 4 back to a field list holding 1, 3, 6: between 3 and 6.
    CRoleRules s(2);
    QList<RoleField> f = Table();
    for (RoleField& x : f)
        x.role = 1;
    f[0].role = f[2].role = f[5].role = -1;
    s.Fill(f);
    EXPECT_EQ(s.FromInputs({4}), QString());
    EXPECT_EQ(Numbers(s.Fields()), (QList<int16_t>{1, 3, 4, 6}));
    // Into an empty list it comes first.
    CRoleRules e(2);
    for (RoleField& x : f)
        x.role = 1;
    e.Fill(f);
    e.FromInputs({4});
    EXPECT_EQ(Numbers(e.Fields()), (QList<int16_t>{4}));
}

TEST(ConfRoles, NodeCountFollowsInputsForBackPropOnly)
{
    QList<RoleField> f;
    for (int i = 0; i < 10; ++i)
        f.append({QStringLiteral("x%1").arg(i), 7, -1});
    CRoleRules r(2);
    r.Fill(f);
    r.SetNodes(17);
    r.FromInputs({}, true); // 0 inputs
    EXPECT_EQ(r.Nodes(), 2);
    r.ToInputs({1});
    EXPECT_EQ(r.Nodes(), 3);
    r.ToInputs({2, 3});
    EXPECT_EQ(r.Nodes(), 4);
    r.ToInputs({4, 5, 6, 7, 8});
    EXPECT_EQ(r.Nodes(), 6);
    // Moving the prediction between the label and the field list leaves the count alone.
    EXPECT_EQ(r.ToPrediction(Place::Fields, 9), QString());
    r.FromPrediction();
    EXPECT_EQ(r.Nodes(), 6);
    // An input dragged onto the prediction does not recompute either.
    r.ToPrediction(Place::Inputs, 8);
    EXPECT_EQ(r.Nodes(), 6);

    CRoleRules sfam(1);
    sfam.Fill(f);
    sfam.SetNodes(17);
    sfam.ToInputs({1, 2, 3});
    EXPECT_EQ(sfam.Nodes(), 17);

    // The default never passes the most the configuration accepts.
    EXPECT_EQ(CRoleRules::DefaultNodes(8), 6);
    EXPECT_EQ(CRoleRules::DefaultNodes(1), 3);
    EXPECT_EQ(CRoleRules::DefaultNodes(1023), 64);
    EXPECT_EQ(CRoleRules::DefaultNodes(5000), 64);
}

TEST(ConfRoles, TypeRulesOfEachKind)
{
    CRoleRules bp(2);
    bp.Fill(Table());
    // Date/Time and Boolean: inputs and back-propagation predictions.
    EXPECT_EQ(bp.ToInputs({3}), QString());
    EXPECT_EQ(bp.ToPrediction(Place::Fields, 6), QString());
    EXPECT_EQ(bp.PredictionNumber(), 6);
    // A whole number past 32 bits is a number like any other: an input, the prediction, and
    // its limits are the user's to set.
    EXPECT_EQ(bp.ToInputs({8}), QString());
    EXPECT_EQ(Numbers(bp.Inputs()), (QList<int16_t>{3, 8}));
    EXPECT_EQ(bp.ToPrediction(Place::Inputs, 8), QString());
    EXPECT_EQ(bp.PredictionNumber(), 8);
    EXPECT_TRUE(CFieldLimitsModel::LimitEditable(16));
    EXPECT_FALSE(CFieldLimitsModel::LimitEditable(1)); // a Boolean's range is fixed
    // Text is neither.
    EXPECT_EQ(bp.ToInputs({5}), CRoleRules::OnlyNumericInputsText());
    EXPECT_EQ(bp.ToPrediction(Place::Fields, 5), QStringLiteral("Only Numeric fields allowed for BackProp Prediction"));
    EXPECT_EQ(bp.PredictionNumber(), 8); // nothing moved
    // Auto-increment: an input, never the prediction.
    EXPECT_EQ(bp.ToPrediction(Place::Fields, 9), QStringLiteral("AutoIncrement fields not allowed for Prediction"));
    EXPECT_EQ(bp.DragEnter(Place::Prediction, Place::Fields, 9), CRoleRules::DragIcon::NotDrop);
    EXPECT_EQ(bp.DragEnter(Place::Inputs, Place::Fields, 9), CRoleRules::DragIcon::Drop);
    EXPECT_EQ(bp.ToInputs({9}), QString());

    CRoleRules sfam(1);
    sfam.Fill(Table());
    EXPECT_EQ(sfam.ToPrediction(Place::Fields, 9), QStringLiteral("AutoIncrement field not allowed for Prediction"));
    EXPECT_EQ(sfam.ToPrediction(Place::Fields, 8), QString());
    EXPECT_EQ(sfam.ToPrediction(Place::Fields, 5), QString()); // text classes are fine for SFAM

    // The status of a clicked field (nine blanks after the bracket).
    EXPECT_EQ(CRoleRules::FieldStatusText(QStringLiteral("Age"), 3),
              QStringLiteral("Field: [Age]         Type: Numeric (Integer)"));
    EXPECT_EQ(CRoleRules::FieldStatusText(QStringLiteral("ID"), AutoIncrType),
              QStringLiteral("Field: [ID]         Type: AutoIncrement (Long)"));
}

TEST(ConfRoles, SecondPredictionReturnsTheFirstInOrder)
{
    CRoleRules r(2);
    r.Fill(Table());
    r.ToInputs({1, 2, 4});
    r.ToPrediction(Place::Fields, 7);
    // The new one comes from the input list; the old one goes to the field list, ordered.
    EXPECT_EQ(r.ToPrediction(Place::Inputs, 2), QString());
    EXPECT_EQ(r.PredictionNumber(), 2);
    EXPECT_EQ(Numbers(r.Inputs()), (QList<int16_t>{1, 4}));
    EXPECT_EQ(Numbers(r.Fields()), (QList<int16_t>{3, 5, 6, 7, 8, 9}));
    // The prediction dropped on the inputs moves when it may be an input.
    EXPECT_EQ(r.PredictionToInputs(), QString());
    EXPECT_FALSE(r.HasPrediction());
    EXPECT_EQ(Numbers(r.Inputs()), (QList<int16_t>{1, 2, 4}));
    CRoleRules s(1);
    s.Fill(Table());
    s.ToPrediction(Place::Fields, 5);
    EXPECT_EQ(s.DragEnter(Place::Inputs, Place::Prediction, 0), CRoleRules::DragIcon::NotDrop);
    EXPECT_EQ(s.PredictionToInputs(), CRoleRules::OnlyNumericInputsText());
    EXPECT_EQ(s.PredictionNumber(), 5);
}

TEST(ConfRoles, ButtonStatesAndDragTable)
{
    CRoleRules r(2);
    r.Fill(Table());
    RoleButtons b = r.Buttons(2, 0);
    EXPECT_FALSE(b.toPrediction); // two selected: no prediction arrow
    EXPECT_TRUE(b.oneToInput);
    EXPECT_TRUE(b.allToInput);
    EXPECT_FALSE(b.oneFromInput || b.allFromInput || b.fromPrediction || b.ok);
    b = r.Buttons(1, 0);
    EXPECT_TRUE(b.toPrediction && b.oneToInput);
    b = r.Buttons(0, 0);
    EXPECT_FALSE(b.toPrediction || b.oneToInput);

    r.ToInputs({1});
    EXPECT_FALSE(r.Buttons(0, 0).ok); // an input but no prediction
    r.ToPrediction(Place::Fields, 4);
    b = r.Buttons(0, 0);
    EXPECT_TRUE(b.ok && b.fromPrediction && b.allFromInput);
    EXPECT_FALSE(b.oneFromInput);
    EXPECT_TRUE(r.Buttons(0, 1).oneFromInput);
    r.FromInputs({}, true);
    EXPECT_FALSE(r.Buttons(0, 0).ok); // the input gone: OK off again

    CRoleRules all(2);
    QList<RoleField> f = Table();
    for (RoleField& x : f)
        x.role = 1;
    all.Fill(f);
    b = all.Buttons(0, 0);
    EXPECT_FALSE(b.allToInput || b.oneToInput || b.toPrediction);

    using D = CRoleRules::DragIcon;
    EXPECT_EQ(r.DragEnter(Place::Fields, Place::Inputs, 1), D::Drop);
    EXPECT_EQ(r.DragEnter(Place::Fields, Place::Prediction, 0), D::Drop);
    EXPECT_EQ(r.DragEnter(Place::Fields, Place::Fields, 1), D::Unchanged);
    EXPECT_EQ(r.DragEnter(Place::Inputs, Place::Inputs, 1), D::Unchanged);
    EXPECT_EQ(r.DragEnter(Place::Prediction, Place::Prediction, 0), D::Unchanged);
    EXPECT_EQ(r.DragEnter(Place::Inputs, Place::Fields, 5), D::NotDrop);
    EXPECT_EQ(r.DragEnter(Place::Prediction, Place::Inputs, 1), D::Drop);
}
