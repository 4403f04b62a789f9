// Helpers of the find, SFAM-browser and interactive-mode tests: the current browse window and
// a cell of its model read now (as the event loop would while scrolling).
#pragma once

#include "browse/browsemodel.h"
#include "browse/frmbrowse.h"
#include "browse/browseviews.h"
#include "browse/findviews.h"
#include "browse/currentbrowse.h"
#include "tests/support/browsecell.h"

#include <QHeaderView>
#include <QTableView>
#include <QTest>

namespace FindTest {

inline frmBrowse* Current()
{
    return qobject_cast<frmBrowse*>(gBrowseForm().data());
}

// A left click on the heading of `column` in `pane`, as the mouse gives it.
inline void ClickHeading(QTableView* pane, int column)
{
    QHeaderView* header = pane->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + 4, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

} // namespace FindTest
