// The browse interface the command layer drives: bind a browser to a browse window's grid,
// refresh it, sort by the grid's current column, show the find dialog. The browsers of test
// results and of the whole table implement it.
#pragma once

class CBrowseGrid;

class IDataBrowse {
public:
    virtual ~IDataBrowse() = default;
    // Attaches the browser to the grid tgBrowse of a browse window and lays the grid out;
    // nullptr does nothing.
    virtual void Bind(CBrowseGrid* tg) = 0;
    // Re-reads the rows, clears the sort keys and lays the grid out again.
    virtual void Refresh() = 0;
    // Closes the host window and lets the grid go.
    virtual void Destroy() = 0;
    // The bound grid, or nullptr (never bound, or its window is gone).
    virtual CBrowseGrid* Grid() const = 0;
    virtual void ShowFind() = 0;
    virtual void SortASC() = 0;
    virtual void SortDESC() = 0;
};
