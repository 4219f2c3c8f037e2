// Times the editor's save of a report with four 150 KB pictures against a
// bare insert of the same row and pictures in one transaction.
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Palette.h"
#include "editor/DataRecord.h"
#include "editor/ReportRecord.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100;
    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    const QString why = Database::CreateDatabaseFile(AppPaths::databaseFile(), Database::ShippedSchema());
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    Database::OpenDatabase();
    MessageBox::setScripted(true);
    Mmain::gUserName = QStringLiteral("admin");
    Mmain::gRights.fill(true);
    Palette::LoadSkin();

    QDir().mkpath(AppPaths::imageFolder());
    QStringList files;
    for (int n = 1; n <= 4; ++n) {
        QByteArray bytes(150 * 1024, '\0');
        QRandomGenerator rng(n);
        for (auto& b : bytes)
            b = char(rng.bounded(256));
        const QString path = AppPaths::imageFolder() + QStringLiteral("/rpt%1.jpg").arg(n);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        files << path;
    }

    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        ed.ButtnNew_Click();
        ed.Text1->setText(QStringLiteral("B%1").arg(i));
        ed.Text2->setText(QStringLiteral("测试病人"));
        ed.Text4->setText(QStringLiteral("40"));
        ed.Text15->setPlainText(QStringLiteral("双肺纹理清晰，未见实质性病变。"));
        for (int k = 0; k < 4; ++k)
            ed.Picload[size_t(k)]->Tag = files[k];
        ed.ButtnSave_Click();
    }
    const qint64 editorNs = t.nsecsElapsed();
    if (!MessageBox::shownBoxes().isEmpty()) {
        std::fprintf(stderr, "save failed: %s\n", qPrintable(MessageBox::shownBoxes().last().text));
        return 1;
    }

    const QString sql = QStringLiteral(
        "INSERT INTO reports (brname,sex,age,ageunit,pgdate,rpdate,rpdr,facility,times,checksymptom,obligate1,obligate5,"
        "picture1,picture2,picture3,picture4) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    t.restart();
    for (int i = 0; i < rounds; ++i) {
        QVariantList p = {QStringLiteral("测试病人"), QStringLiteral("男"), 40, QStringLiteral("岁"),
                          QStringLiteral("2025-01-01"), QStringLiteral("2025-01-01"), QStringLiteral("admin"),
                          QStringLiteral(""), 0, QStringLiteral("双肺纹理清晰，未见实质性病变。"), 1,
                          QStringLiteral("C%1").arg(i)};
        for (const QString& path : files) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            p << f.readAll();
        }
        Database::Transaction tx;
        Database::ExecuteSql(sql, p);
        tx.commit();
    }
    const qint64 bareNs = t.nsecsElapsed();
    std::printf("editor save: %.3f ms per report\n", editorNs / 1e6 / rounds);
    std::printf("bare insert: %.3f ms per report\n", bareNs / 1e6 / rounds);
    std::printf("ratio: %.2f (goal <= 1.5)\n", double(editorNs) / double(bareNs));
    Database::CloseDatabase();
    return 0;
}
