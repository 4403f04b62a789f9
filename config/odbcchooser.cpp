#include "config/odbcchooser.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Value(const QString& v)
{
    if (!v.contains(QLatin1Char(';')) && !v.contains(QLatin1Char('{')) && !v.contains(QLatin1Char('}'))
        && !v.contains(QLatin1Char('=')) && v.trimmed() == v)
        return v;
    QString braced = v;
    braced.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + braced + QLatin1Char('}');
}

} // namespace

CDataSourceDialog::CDataSourceDialog(const QList<kdb::DataSourceEntry>& sources, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CDataSourceDialog"));
    setWindowTitle(QStringLiteral("Select Data Source"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Data Source Name"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstSources"));
    for (const kdb::DataSourceEntry& s : sources) {
        auto* item = new QListWidgetItem(
            s.description.isEmpty() ? s.name : s.name + QStringLiteral("  (") + s.description + QLatin1Char(')'), m_list);
        item->setData(Qt::UserRole, s.name);
    }
    layout->addWidget(m_list);
    auto* form = new QFormLayout;
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("txtUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("User:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(m_list, &QListWidget::currentRowChanged, ok, [ok](int row) { ok->setEnabled(row >= 0); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

QString CDataSourceDialog::Source() const
{
    QListWidgetItem* item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QString CDataSourceDialog::User() const { return m_user->text(); }
QString CDataSourceDialog::Password() const { return m_password->text(); }

QString OdbcChooser::ConnectTail(const QString& source, const QString& user, const QString& password)
{
    QString tail = Value(source);
    if (!user.isEmpty())
        tail += QStringLiteral(";UID=") + Value(user);
    if (!password.isEmpty())
        tail += QStringLiteral(";PWD=") + Value(password);
    return tail;
}

std::optional<QString> OdbcChooser::Choose(const QList<kdb::DataSourceEntry>& sources)
{
    CDataSourceDialog dialog(sources, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted || dialog.Source().isEmpty())
        return std::nullopt;
    return ConnectTail(dialog.Source(), dialog.User(), dialog.Password());
}
