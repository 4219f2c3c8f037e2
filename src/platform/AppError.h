#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

// The program's one error type: a number and a description, reported as
// "<number>:<description>". Every error the program raises derives from it
// (DbOpenError, ImagingError, ReportError), so a command's trap catches them
// all with one catch (const AppError&), and a catch (const std::exception&)
// catches them too. Failures that are returned rather than raised carry the
// same pair (QueryResult, ModBackup::FileError).
struct AppError : std::exception {
    // The numbers users see in messages; they are the ones the program has
    // always shown, so they stay as they are:
    //   0      no error (a QueryResult that returned rows or ran)
    //   1000   the query ran and returned no rows (a QueryResult, not a failure)
    //   3000   data.db could not be opened (Database::OpenDatabase)
    //   3704   a statement arrived while no database connection was open
    //   6      overflow: a number too large for where it goes (the grid print settings, a DICOM
    //          counter or setting)
    //   9      subscript out of range: a report item names a field number past the record
    //   13     type mismatch: a report item's field number is not a number
    //   53     file not found
    //   55     file already open; 70 permission denied (both: the file is in use)
    //   57     device I/O error
    //   61     disk full
    //   75     path/file access error
    //   76     path not found
    //   380    invalid property value: grid print margins that leave nothing of the page
    //   481    invalid picture (a file that is not a readable picture)
    //   482    printer error (no printer, a job that would not start, a page or end refused)
    //   26001  the JPEG writer failed
    //   32755  the user cancelled a file dialog (reported by no message)
    // Any other number of a QueryResult is the database engine's own result
    // code, shown with the engine's text.
    enum Number : int {
        None = 0,
        NoRows = 1000,
        DatabaseOpenFailed = 3000,
        DatabaseClosed = 3704,
        Overflow = 6,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        FileNotFound = 53,
        FileAlreadyOpen = 55,
        DeviceIo = 57,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
        InvalidPropertyValue = 380,
        InvalidPicture = 481,
        PrinterFailure = 482,
        JpegWriterFailed = 26001,
        DialogCancelled = 32755,
    };

    AppError() = default;
    AppError(int n, QString desc) : number(n), description(std::move(desc)), what_(description.toUtf8()) {}

    // "<number>:<description>", as message boxes show a caught error.
    static QString format(int number, const QString& description)
    {
        return QString::number(number) + QLatin1Char(':') + description;
    }
    QString text() const { return format(number, description); }
    // How a command's error trap shows it: a blank, the number, ": " and the description.
    QString trapText() const { return QLatin1Char(' ') + QString::number(number) + QStringLiteral(": ") + description; }
    // The description the error was made with, in UTF-8.
    const char* what() const noexcept override { return what_.constData(); }

    int number = None;
    QString description;

private:
    QByteArray what_;
};
