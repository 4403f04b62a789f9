// The program's ODBC data-source chooser: unixODBC shows no dialog for a connect string without
// a source, so the data layer asks this one. It lists the sources unixODBC knows, takes an
// optional user and password, and answers the rest of the connect string after "DSN=".
#pragma once

#include "kdb/kdb.h"

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;
class QListWidget;

class CDataSourceDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDataSourceDialog(const QList<kdb::DataSourceEntry>& sources, QWidget* parent = nullptr);
    QString Source() const;
    QString User() const;
    QString Password() const;

private:
    QListWidget* m_list;
    QLineEdit* m_user;
    QLineEdit* m_password;
};

namespace OdbcChooser {
// "name;UID=user;PWD=password" (user and password only when given), each value in braces when
// it holds a character that would end or break it.
QString ConnectTail(const QString& source, const QString& user, const QString& password);
// Shows the dialog; nullopt when cancelled or when no source was picked. The program installs
// it as the data layer's chooser (kdb::SetDataSourceChooser).
std::optional<QString> Choose(const QList<kdb::DataSourceEntry>& sources);
}
