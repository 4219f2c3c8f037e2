// Makes a fresh encrypted, owner-only data.db from the shipped schema. An existing file is
// left alone unless --force is given.
#include "core/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool force = args.removeAll(QStringLiteral("--force")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: ws-mkdb [--force] PATH\n");
        return 2;
    }
    const QString path = args.first();
    if (QFile::exists(path)) {
        if (!force)
            return 0;
        QFile::remove(path);
    }
    const QString schema = Database::ShippedSchema();
    if (schema.isEmpty()) {
        std::fprintf(stderr, "ws-mkdb: the shipped schema is missing\n");
        return 1;
    }
    // Made under another name first, so an interrupted run never leaves a
    // half-made data.db that later builds would keep.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    const QString why = Database::CreateDatabaseFile(part, schema);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "ws-mkdb: %s\n", qPrintable(why));
        QFile::remove(part);
        return 1;
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        std::fprintf(stderr, "ws-mkdb: cannot rename %s to %s\n", qPrintable(part), qPrintable(path));
        QFile::remove(part);
        return 1;
    }
    return 0;
}
