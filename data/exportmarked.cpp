#include "data/exportmarked.h"

#include "core/cfile.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/status.h"
#include "core/workprogress.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "data/fieldtypes.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/networkconstants.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>

namespace {

const QString kTitle = QStringLiteral("Export Marked");
// How often the progress of the rows written is told.
constexpr qint64 kTellEveryMs = 100;

// The text of one value: as the results grid shows it (numbers always with a point, so that
// the file reads back the same in every locale, single-precision columns with the 7 digits
// they hold, others with 15; dates and times as the source gives them, fractions of a second
// included), Booleans as True and False. Null is an empty cell, and so is the prediction the
// network could not make (`prediction`: the Test table's Predicted column), which the grid
// shows as "N/A".
QString ValueText(const kdb::Value& v, int16_t type, bool prediction)
{
    if (v.isNull())
        return {};
    if (prediction) {
        const std::optional<double> d = v.ToDouble();
        if ((d && IsNoPrediction(*d)) || IsNoPrediction(v.toText()))
            return {};
    }
    if (type == kdb::dbBoolean) {
        const std::optional<double> d = v.ToDouble();
        if (d)
            return *d != 0 ? QStringLiteral("True") : QStringLiteral("False");
        return v.toText();
    }
    return dbUtilities::CellText(v, dbUtilities::TypeDigits(type));
}

// A write of the export file that failed: for want of room it says so in the words the
// database writes use ("Not enough space on disk."), whatever the file layer made of it.
KvError writeFailure(const QSaveFile& out, int32_t number, int err)
{
    const QStorageInfo volume(QFileInfo(out.fileName()).absolutePath());
    if (err == ENOSPC || err == EDQUOT || (volume.isValid() && volume.bytesAvailable() == 0))
        return KvError(KvErr::DiskFull);
    return KvError(number, {}, out.errorString());
}

} // namespace

QString DataExport::CsvField(const QString& text)
{
    bool quote = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r')) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

void Utilities::ExportMarked(const QString& projectFile, const CDataDef* ddo)
{
    try {
        QString keyName;
        if (ddo) {
            for (int16_t i = 1; i <= ddo->NumFields(); ++i) {
                if (ddo->PrimaryKeyField(i)) {
                    keyName = ddo->FieldName(i);
                    break;
                }
            }
        }
        if (!Utilities::FileExists(projectFile)) {
            Status::Message(projectFile + QStringLiteral("does not exist. Aborting Export."));
            return;
        }
        if (!Utilities::TableExists(projectFile, ProjectSchema::TestTable())) {
            Status::Message(QStringLiteral("A test must be run on the data before exporting."));
            return;
        }
        kdb::Database db = kdb::Database::Open(projectFile, false, true);
        // A server's decimals with every digit it holds: the file gets the source's values.
        db.ReadDecimalsAsText(true);
        const QString test = ProjectSchema::TestTable();
        const QString linked = ProjectSchema::LinkTable();
        // In the source's key order (text keys sorted as the source sorts them), so the file
        // lists the rows as the source does. Test's columns are named with their table: the
        // source may have columns of the same names.
        QString order;
        IgnoreErrors([&] {
            order = db.KeyOrder(linked, linked);
        });
        if (order.isEmpty())
            order = QStringLiteral("ORDER BY ") + test + QLatin1Char('.') + ProjectSchema::TestKeyColumn();
        // A server sorts text by its own collation, which only the server can apply: its rows
        // are read in its order and the Test rows found for them.
        const std::optional<kdb::TableInfo> source = db.LinkInfo(linked);
        const bool onServer = source && kdb::IsOdbcConnect(source->connect);
        const QString on = QStringLiteral(" ON ") + test + QLatin1Char('.') + ProjectSchema::TestKeyColumn()
                           + QStringLiteral(" = ") + linked + QLatin1Char('.') + kdb::QuoteIdent(keyName);
        const QString from = onServer ? QStringLiteral("SELECT ") + test + QStringLiteral(".*, ") + linked
                                            + QStringLiteral(".* FROM ") + linked + QStringLiteral(" CROSS JOIN ")
                                            + test
                                      : QStringLiteral("SELECT * FROM ") + test + QStringLiteral(" INNER JOIN ")
                                            + linked;
        const QString sql = from + on + QStringLiteral(" WHERE ") + test + QLatin1Char('.')
                            + ProjectSchema::MarkColumn() + QStringLiteral("<>0 ") + order + u';';
        kdb::Snapshot rs = db.OpenSnapshot(sql);
        if (rs.RecordCount() == 0) {
            Prompts::MsgBox(QStringLiteral("No marked records to export."), MsgButtons::Ok,
                            MsgIcon::Exclamation, kTitle);
            return;
        }

        // Column types: the columns of Test first, then those of the source table.
        QList<int16_t> types;
        IgnoreErrors([&] {
            QList<int16_t> t;
            for (const kdb::FieldInfo& f : db.Fields(test))
                t.append(f.type);
            for (const kdb::FieldInfo& f : db.Fields(linked))
                t.append(f.type);
            if (t.size() == rs.ColumnCount())
                types = t;
        });

        CFile project;
        project.SetFileName(projectFile);
        const QString defaultName = project.Path() + project.Name() + QStringLiteral(".txt");
        CCommonDialog dialog;
        dialog.SetFileName(defaultName);
        dialog.SetDialogTitle(QStringLiteral("Export Marked Rows"));
        dialog.SetFlags(dialog.Flags() + 4);
        dialog.SetFilter(QStringLiteral("Text (*.txt)|*.txt|Any (*.*)|*.*"));
        dialog.ShowSave();
        if (dialog.UserCancel())
            return;
        const QString outputFile = dialog.FileName();
        // A pipe or a device in the file's place is no file to replace, and is never opened.
        if (const QString why = Utilities::NotAFileReason(outputFile); !why.isEmpty())
            throw KvError(KvErr::PathFileAccess, {},
                          KvError(KvErr::PathFileAccess).description() + QStringLiteral(": ") + why);
        if (Utilities::FileExists(outputFile) &&
            Prompts::MsgBox(outputFile + QStringLiteral(" Exists.  Overwrite?"), MsgButtons::YesNo,
                            MsgIcon::Exclamation, QStringLiteral("Warning!"))
                != MsgResult::Yes)
            return;
        // The project and its source are open while the rows are read: a file in use is not
        // replaced (it would be lost), as the engine never let one be deleted.
        QStringList inUse{projectFile};
        const std::optional<kdb::TableInfo>& link = source;
        if (link && !kdb::IsOdbcConnect(link->connect)) {
            const qsizetype at =
                link->connect.indexOf(QStringLiteral("DATABASE="), 0, Qt::CaseInsensitive);
            if (at >= 0)
                inUse.append(link->connect.mid(at + 9));
        }
        const QString target = QFileInfo(outputFile).canonicalFilePath();
        for (const QString& file : inUse) {
            if (!target.isEmpty() && target == QFileInfo(file).canonicalFilePath())
                throw KvError(KvErr::PermissionDenied);
        }

        rs.MoveLast();
        const int total = rs.RecordCount();
        rs.MoveFirst();

        // Written beside the old file and moved over it at the end: a failed export keeps
        // the old file whole.
        QSaveFile out(outputFile);
        if (!out.open(QIODevice::WriteOnly))
            throw KvError(KvErr::PermissionDenied, {}, out.errorString());
        const QStringList& columns = rs.Columns();
        // The columns of Test come first: its Predicted is the first of that name.
        const qsizetype predicted = columns.indexOf(ProjectSchema::PredictedColumn());
        QStringList header;
        for (const QString& c : columns)
            header.append(DataExport::CsvField(c));
        QByteArray line = header.join(QLatin1Char(',')).toUtf8() + "\r\n";
        out.write(line);

        Status::Message(QStringLiteral(" Exporting marked rows..."));
        // Told about every 100 ms and at the end: drawing the bar for every row took fifty times
        // the writing.
        WorkProgress progress;
        progress.Start({1});
        progress.Begin(0, total);
        QElapsedTimer sinceTold;
        sinceTold.start();
        int written = 0;
        QStringList fields;
        while (!rs.AtEnd()) {
            fields.clear();
            for (int c = 0; c < columns.size(); ++c) {
                const int16_t type = types.isEmpty() ? int16_t(0) : types[c];
                fields.append(DataExport::CsvField(ValueText(rs[c], type, c == predicted)));
            }
            line = fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
            if (out.write(line) != line.size())
                throw writeFailure(out, KvErr::DeviceIO, errno);
            if (++written == total || sinceTold.hasExpired(kTellEveryMs)) {
                progress.Units(written);
                sinceTold.start();
            }
            rs.MoveNext();
        }
        // The last lines are still in the file's buffer: a disk that is full refuses them here,
        // and the commit alone would not always say so (it would put an empty file in place).
        errno = 0;
        if (!out.flush())
            throw writeFailure(out, KvErr::DeviceIO, errno);
        if (!out.commit())
            throw writeFailure(out, KvErr::PermissionDenied, errno);
        db.Close();
        progress.End();
        Status::Outcome(QStringLiteral("Export Completed."));
    } catch (...) {
        const KvError e = CurrentError();
        Status::Message(QString());
        Status::Progress(-1);
        Prompts::MsgBox(ErrorBox::PlainText(e), MsgButtons::Ok, MsgIcon::Critical, kTitle);
    }
}
