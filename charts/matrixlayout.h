// The confusion matrix window's sizing rule without widgets: the class-column width and the
// matrix grid's size for a window size, in twips; and the class names as its columns show them.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace MatrixLayout {

constexpr int MinColumnWidth = 1200;

struct SizeInput {
    int windowWidth = 0, windowHeight = 0;
    int vscWidth = 0, classesWidth = 0, sumPredictedWidth = 0;
    int hscHeight = 0, sumActualHeight = 0, titleActualHeight = 0, formTitleHeight = 0;
    int rowHeight = 0;
    int classes = 0;
};

struct Size {
    int32_t available = 0;   // A: the width left for the class columns
    int32_t height = 0;      // B: the height left for the rows
    int32_t columnWidth = MinColumnWidth;
    int gridWidth = 0;       // A - 30
    int gridHeight = 0;      // (B - 30) + row height + 45: the rows and the header
    int visibleColumns = 0;  // class columns the grid shows
    int visibleRows = 0;     // class rows the grid shows
};

// When not every column fits at 1200, the space is filled with q or q + 1 columns (q + 1 when
// the remainder is half a column or more); the height grows to the next whole row. Values go
// to the nearest twip, halves to even. A zero row height or no classes divide by nothing.
Size SizeGrids(const SizeInput& in);

// The class names as a column `room` wide shows them, `widthOf` measuring a text in the
// column's units. A name that fits stands whole; a longer one is cut at its end with "…".
// Names that would then read alike are shown from the word in which they part ("…Electric",
// "…Motors", "…Mills"); any still alike are led by their number in the list ("#3 …"). No two
// labels are the same, so no two classes look alike.
std::vector<QString> ClassLabels(const std::vector<QString>& names, int room,
                                 const std::function<int(const QString&)>& widthOf);

} // namespace MatrixLayout
