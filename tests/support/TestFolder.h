#pragma once
#include "platform/FileDialogsTesting.h"
#include "platform/MessageBoxTesting.h"

#include <QString>
#include <QTemporaryDir>

// A temporary program folder with a fresh encrypted database, the default
// options.ini and scripted dialogs. The database is open while it lives.
class TestFolder {
public:
    explicit TestFolder(bool openDatabase = true);
    ~TestFolder();

    QString path() const { return dir_.path(); }
    QString file(const QString& rel) const { return dir_.path() + QLatin1Char('/') + rel; }
    bool ok() const { return ok_; }

    // Runs a SQL script on the open database; fails the test on error.
    static bool exec(const QString& sql);

private:
    QTemporaryDir dir_;
    bool ok_ = false;
    // The folder made last: one made before it (a case whose cleanup never
    // ran) leaves the newer one's database and settings alone when it goes.
    static inline const TestFolder* latest_ = nullptr;
};

// The folder where tests leave screenshots and PDFs for people to look at.
QString testOutputFolder();

// The permission bits of a file or folder (-1 when there is none).
int fileMode(const QString& path);

// Sets the process's umask while it lives.
class UmaskScope {
public:
    explicit UmaskScope(unsigned mask);
    ~UmaskScope();
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

private:
    unsigned previous_;
};
