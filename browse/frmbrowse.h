// The browse window: a child of the main window showing one browse query in the grid
// tgBrowse, with the interactive strip picIMode below it (hidden until interactive mode shows
// it). The window knows nothing of test results: a browser bound to its grid lays the grid out
// and gives it its behaviour. The window keeps the row count in the status bar while it is
// active, enters the inactive browse step when it loses activation, and lets the project file
// go when it closes.
#pragma once

#include "browse/browsequery.h"
#include "browse/rowsource.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class BrowseModel;
class CBrowseGrid;
class QMdiSubWindow;
class QTableView;

class frmBrowse : public QWidget {
    Q_OBJECT
public:
    explicit frmBrowse(QWidget* parent = nullptr);
    ~frmBrowse() override;

    CBrowseGrid* tgBrowse = nullptr;
    QWidget* picIMode = nullptr;
    CBrowseGrid* tgIMode = nullptr; // the interactive row's two-pane grid

    // The row count shown while the window is active; -1: none.
    int64_t RowCount() const { return mRowCount; }
    void SetRowCount(int64_t rows) { mRowCount = rows; }
    // The project file the rows come from.
    QString DatabaseName() const { return m_data.DatabaseName(); }
    void SetDatabaseName(const QString& file) { m_data.SetDatabaseName(file); }
    // The browse query; setting it runs it at once (its key list), and the grid shows the new
    // rows. Raises KvError when the query fails (the grid is then empty).
    const BrowseQuery& RecordSource() const { return m_data.Query(); }
    void SetRecordSource(const BrowseQuery& query);
    // The rows behind the grid (the window's data control).
    BrowseRowSource& Data1() { return m_data; }
    BrowseModel* Model() const { return m_model; }
    // The key under which the window stands in the project's window list.
    QString Tag() const { return m_tag; }
    void SetTag(const QString& tag) { m_tag = tag; }

    // Runs the layout (after interactive mode showed or hid its strip).
    void Resize();
    // Lets the project file go / takes it back.
    void Pause();
    void Continue();

    // Shows the window in the main window's child area (maximised) and follows its activation.
    void ShowInMainWindow();
    // Activation and deactivation as the child area reports them.
    void Activated();
    void Deactivated();
    // F3 and Alt+N repeat the last search through this hook (set by the find dialog).
    static std::function<void()>& FindNextHook();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void rowsLoaded();

    int64_t mRowCount = -1;
    QString mSavedDatabaseName;
    QString m_tag;
    BrowseRowSource m_data;
    BrowseModel* m_model = nullptr;
    QPointer<QMdiSubWindow> m_sub;
    bool m_closed = false;
};
