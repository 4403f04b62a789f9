#include "core/kverror.h"

#include <map>
#include <new>

namespace {

const std::map<int32_t, const char*>& catalogue()
{
    static const std::map<int32_t, const char*> texts = {
        {3, "Return without GoSub"},
        {5, "Invalid procedure call or argument"},
        {6, "Overflow"},
        {7, "Out of memory"},
        {9, "Subscript out of range"},
        {10, "This array is fixed or temporarily locked"},
        {11, "Division by zero"},
        {13, "Type mismatch"},
        {14, "Out of string space"},
        {28, "Out of stack space"},
        {35, "Sub or Function not defined"},
        {48, "Error in loading DLL"},
        {51, "Internal error"},
        {52, "Bad file name or number"},
        {53, "File not found"},
        {54, "Bad file mode"},
        {55, "File already open"},
        {57, "Device I/O error"},
        {58, "File already exists"},
        {59, "Bad record length"},
        {61, "Disk full"},
        {62, "Input past end of file"},
        {63, "Bad record number"},
        {67, "Too many files"},
        {68, "Device unavailable"},
        {70, "Permission denied"},
        {71, "Disk not ready"},
        {74, "Can't rename with different drive"},
        {75, "Path/File access error"},
        {76, "Path not found"},
        {91, "Object variable or With block variable not set"},
        {92, "For loop not initialized"},
        {93, "Invalid pattern string"},
        {94, "Invalid use of Null"},
        {380, "Invalid property value"},
        {381, "Invalid property array index"},
        {424, "Object required"},
        {438, "Object doesn't support this property or method"},
        {440, "Automation error"},
        {457, "This key is already associated with an element of this collection"},
        {482, "Printer error"},
        {3000, "Reserved error (|); there is no message for this error."},
        {3010, "Table '|' already exists."},
        {3011, "The data file has no table or object named '|'."},
        {3021, "No current record."},
        {3022, "The changes you requested to the table were not successful because they would "
               "create duplicate values in the index, primary key, or relationship."},
        {3024, "Couldn't find file '|'."},
        {3026, "Not enough space on disk."},
        {3027, "Can't update.  Database or object is read-only."},
        {3044, "'|' isn't a valid path."},
        {3045, "Couldn't use '|'; file already in use."},
        {3049, "Can't open database '|'.  It may not be a database that your application "
               "recognizes, or the file may be corrupt."},
        {3050, "Couldn't lock file."},
        {3051, "Cannot open the file '|'.  Another program holds it open for its own use, or you "
               "have no permission to read it."},
        {3059, "Operation canceled by user."},
        {3061, "Too few parameters. Expected |."},
        {3075, "Syntax error in query expression '|'."},
        {3078, "The data file has no table or query named '|'.  Make sure it exists and that "
               "its name is spelled correctly."},
        {3146, "ODBC--call failed."},
        {3151, "ODBC--connection to '|' failed."},
        {3163, "The field is too small to accept the amount of data you attempted to add."},
        {3167, "Record is deleted."},
        {3204, "Database already exists."},
        {3265, "Item not found in this collection."},
        {3314, "The field '|' cannot contain a Null value because the Required property for "
               "this field is set to True.  Enter a value in this field."},
        {3376, "Table '|' does not exist."},
        {3421, "Data type conversion error."},
        {3343, "Unrecognized database format '|'."},
    };
    return texts;
}

} // namespace

KvError::KvError(int32_t number, QString source, QString description)
    : m_number(number), m_source(std::move(source)), m_description(std::move(description))
{
    if (m_description.isEmpty())
        m_description = ErrorCatalogue::Description(number);
    m_what = QStringLiteral("Error %1: %2").arg(m_number).arg(m_description).toStdString();
}

QString ErrorCatalogue::Description(int32_t number)
{
    const auto& texts = catalogue();
    const auto it = texts.find(number);
    if (it != texts.end())
        return QString::fromUtf8(it->second);
    return QStringLiteral("Application-defined or object-defined error");
}

bool ErrorCatalogue::IsKnown(int32_t number)
{
    return catalogue().count(number) != 0;
}

KvError CurrentError()
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return KvError(KvErr::Internal);
    try {
        std::rethrow_exception(current);
    } catch (const KvError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return KvError(KvErr::OutOfMemory);
    } catch (const std::exception& e) {
        return KvError(KvErr::Internal, {}, QString::fromUtf8(e.what()));
    } catch (...) {
        return KvError(KvErr::Internal);
    }
}

void modErrorHandling::RaiseError(int32_t number, const QString& source)
{
    if (!std::current_exception())
        throw KvError(number, source);
    const KvError current = CurrentError();
    KvError raised(number, source, current.description());
    if (current.shown())
        raised.MarkShown();
    throw raised;
}
