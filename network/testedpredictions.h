// The tested rows of a back-propagation network as its charts draw them (the scatter and the
// series window): each row's actual value and prediction, with the captions, as
// CBackProp::TestedResults hands them over.
#pragma once

#include <QString>
#include <vector>

struct TestedPredictions {
    // Rows 0..n, row 0 empty: the normalised actual value of each row, which the user range
    // clamps (the target column of the testing patterns).
    std::vector<float> actual;
    // The normalised prediction of each row 0..n, -1 for a row the network could not use. The
    // upper bound (size - 1) is the number of points.
    std::vector<float> predicted;
    // The prediction field's own value of each row 0..n (NaN: none), which the user range does
    // not clamp; empty when the rows were built without them.
    std::vector<double> actualValues;
    QString trainedCaption;   // "Trained: 1 to 800" (lblTrainRows)
    QString testedCaption;    // " Tested: 801 to 1000" (lblTestRows)
    QString rowsText;         // "200 Rows", for the second status panel
};
