// A cell of a browse window's grid read now, its block fetched as the event loop fetches it
// while the user scrolls.
#pragma once

#include "browse/browsemodel.h"
#include "browse/frmbrowse.h"

#include <QVariant>

inline QVariant Cell(frmBrowse* w, int row, int column, int role = Qt::DisplayRole)
{
    BrowseModel* m = w->Model();
    m->data(m->index(row, column), role);
    m->FetchPending();
    return m->data(m->index(row, column), role);
}
