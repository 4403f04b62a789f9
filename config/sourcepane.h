// The data-source pane of the configuration window: the data file or ODBC source the project
// reads, picked with Browse, and the list of its tables. The choice of a table goes to the
// window, which ties it to the project's data definition.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class CSourcePane : public QWidget {
    Q_OBJECT
public:
    explicit CSourcePane(QWidget* parent);

    // The data file's path or the ODBC connect text ("ODBC;..."); empty before one is chosen.
    const QString& DatabaseFileName() const { return m_databaseFileName; }
    void SetDatabaseFileName(const QString& source) { m_databaseFileName = source; }
    const QString& TableName() const { return m_tableName; }
    void SetTableName(const QString& name) { m_tableName = name; }
    // Shows the source and table the project has; false when it has no source yet.
    bool Load();
    // The table as chosen: its name in place of the list, Browse off.
    void ShowChosenTable(const QString& name);
    // Back to the source before the last Browse (a table of it that did not fit).
    void RestorePreviousSource();
    void ResetTableList();
    // Fills the table list from the source; false when it has no tables or could not be read.
    bool FillList();
    void FocusBrowse();

    void cmdBrowse_Click();

signals:
    // The user picked another source.
    void Changed();
    // The user chose a table of the list (or the source's one keyed table came chosen).
    void TableChosen(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString ParseName(const QString& source);
    void OpenOdbcSource();
    void ShowSourceLabel(bool italic);
    void SetChanged() { emit Changed(); }
    void ChooseTable(const QString& name) { emit TableChosen(name); }

    QString m_databaseFileName;
    QString m_tableName;
    QString m_previousSource;

    QLabel* lblDatabase = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* chkODBC = nullptr;
    QComboBox* cmbTableList = nullptr;
    QLabel* lblTable = nullptr;
};
