// The editor's convert command as the user runs it with autoSend 1 - the
// question, the field and settings checks, the counter transaction, the folder
// checks, converting and sending every selected capture over one association,
// the final message - timed against DCMTK's own tools on the same pictures:
// img2dcm once per picture (one process each), then one storescu sending all
// the files over one association. 4 and 18 captures of 1920x1080.
// Goal: ours takes at most 0.8 times the tools, per round.
//
// Then the association alone: the 18 files the program wrote, sent over one
// association of the program's sender (each file read with the toolkit and
// stored), against storescu sending the same files to the same storescp.
// Goal: at most 0.9 times storescu, per round.
//
//     build/bench/bench_dicom_send [ROUNDS]        (default 11)
//
// WS_BENCH_PEER_NODELAY=1 starts storescp with Nagle off on its side too
// (the toolkit's TCP_NODELAY variable, for the peer process only).
//
// The pictures are 24-bit BMP files as the capture writes them, each with
// shading, edges and noise of its own. One storescp on a free loopback port,
// with an output folder, receives everything and writes every file to disk. The
// two sides take turns, ours first in odd rounds and the tools first in even
// ones; received and written files are removed between turns, untimed.
// Printed per picture count: median and minimum of both sides, and median and
// minimum of the per-round ratios (ours / tools of the same round).
#include "common.h"
#include "core/Modini.h"
#include "imaging/BmpFile.h"
#include "imaging/DicomFile.h"
#include "imaging/DicomSend.h"
#include "platform/AppPaths.h"
#include "support/DicomPeer.h"
#include "support/EditorKit.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <random>

namespace {

QImage picture(int seed)
{
    QImage img(1920, 1080, QImage::Format_RGB888);
    std::mt19937 rng{unsigned(seed)};
    std::normal_distribution<double> noise(0.0, 6.0);
    const double cx = 300 + 80 * seed, cy = 540;
    for (int y = 0; y < img.height(); ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < img.width(); ++x) {
            const double r = std::hypot(x - cx, y - cy);
            const double base = 40 + 150 * std::exp(-r * r / 2.0e5) + (x % 240 < 8 ? 50 : 0);
            const int v = std::clamp(int(base + noise(rng)), 0, 255);
            row[3 * x] = uchar(v);
            row[3 * x + 1] = uchar(std::clamp(v - 3 * seed, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(v + 2 * seed, 0, 255));
        }
    }
    return img;
}

void run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit
        || p.exitCode() != 0)
        bench::die("a DCMTK tool failed", program + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
}

void clearFolder(const QString& path)
{
    QDir d(path);
    for (const QString& f : d.entryList(QDir::Files | QDir::Hidden))
        d.remove(f);
}

void setOutput(const char* key, const QString& v)
{
    Modini::SetIniValue(QStringLiteral("output"), QString::fromLatin1(key), v);
}

struct Figures {
    std::vector<double> ours, tools, ratios;
};

void print(const char* ours, const char* tools, const Figures& f, double goal)
{
    std::printf("  %-32s: median %7.1f ms  min %7.1f ms\n", ours, bench::median(f.ours), bench::minimum(f.ours));
    std::printf("  %-32s: median %7.1f ms  min %7.1f ms\n", tools, bench::median(f.tools), bench::minimum(f.tools));
    std::printf("  %-32s: median %.2fx  min %.2fx  max %.2fx (goal <= %.1fx)\n", "per-round ratio ours/tools",
                bench::median(f.ratios), bench::minimum(f.ratios), *std::max_element(f.ratios.begin(), f.ratios.end()),
                goal);
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    for (const char* tool : {"storescp", "storescu", "img2dcm"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            bench::die("missing DCMTK tool (package dcmtk)", QString::fromLatin1(tool));

    const auto folder = kit::editorFolder();
    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/dicom"), tools = dir.path() + QStringLiteral("/tools");
    const QString exam = out + QStringLiteral("/X2025001");
    for (const QString& d : {out, tools})
        QDir().mkpath(d);
    QStringList bmps;
    for (int k = 1; k <= 18; ++k) {
        bmps << AppPaths::imageFolder() + QStringLiteral("/image%1.bmp").arg(k);
        if (!BmpFile::write24(picture(k), bmps.last()))
            bench::die("cannot write the test pictures");
    }

    // The PACS: storescp on a free loopback port writing into its folder.
    dicompeer::StoreScp scp;
    if (qEnvironmentVariableIntValue("WS_BENCH_PEER_NODELAY") == 1)
        scp.setEnvironment({QStringLiteral("TCP_NODELAY=1")});
    if (!scp.start())
        bench::die("storescp does not start", scp.error());
    const QString received = scp.folder();
    setOutput("dcmDir", out);
    setOutput("svrIp", QStringLiteral("127.0.0.1"));
    setOutput("svrTitle", QStringLiteral("PEL"));
    setOutput("svrPort", QString::number(scp.port()));
    setOutput("autoSend", QStringLiteral("1"));

    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    ed.ButtnNew_Click();
    kit::typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("张三"));
    ed.Text3->setEditText(QStringLiteral("男"));

    bool first = true;
    auto oursOnce = [&](int count) {
        for (int k = 0; k < count; ++k) {
            ed.Pictmp[size_t(k)]->Tag = AppPaths::imageFolder() + QStringLiteral("/image%1").arg(k + 1);
            ed.ShapeSel[size_t(k)]->show();
        }
        MessageBox::clearShown();
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        if (!first)
            MessageBox::queueAnswer(MessageBox::Answer::No);   // a new study each time
        first = false;
        const auto start = bench::Clock::now();
        ed.ButtonConvert_Click();
        const double ms = bench::millisecondsSince(start);
        if (kit::lastText() != QStringLiteral("转换完成并发送成功！"))
            bench::die("the convert command failed", kit::lastText());
        return ms;
    };
    auto toolsOnce = [&](int count) {
        const auto start = bench::Clock::now();
        QStringList files;
        for (int k = 0; k < count; ++k) {
            files << tools + QStringLiteral("/image%1.dcm").arg(k + 1);
            run(QStringLiteral("img2dcm"),
                {QStringLiteral("-i"), QStringLiteral("BMP"), QStringLiteral("-k"), QStringLiteral("PatientName=张三"),
                 QStringLiteral("-k"), QStringLiteral("PatientID=X2025001"), bmps[k], files.last()});
        }
        run(QStringLiteral("storescu"),
            QStringList{QStringLiteral("-aet"), QStringLiteral("PEL"), QStringLiteral("-aec"), QStringLiteral("PEL"),
                        QStringLiteral("127.0.0.1"), QString::number(scp.port())}
                + files);
        return bench::millisecondsSince(start);
    };

    std::printf("the convert command with autoSend 1 against img2dcm per picture + one storescu, %d rounds\n", rounds);
    for (int count : {4, 18}) {
        Figures f;
        for (int r = 0; r < rounds; ++r) {
            double a = 0, b = 0;
            for (int side = 0; side < 2; ++side) {
                const bool oursNow = (side == 0) == (r % 2 == 0);
                (oursNow ? a : b) = oursNow ? oursOnce(count) : toolsOnce(count);
                const int got = int(QDir(received).entryList(QDir::Files).size());
                if (got != count)
                    bench::die("storescp did not receive every file", QString::number(got));
                clearFolder(received);
                clearFolder(oursNow ? exam : tools);
            }
            f.ours.push_back(a);
            f.tools.push_back(b);
            f.ratios.push_back(a / b);
        }
        std::printf("%2d pictures of 1920x1080:\n", count);
        char tools[40];
        std::snprintf(tools, sizeof tools, "tools (img2dcm x%d + storescu)", count);
        print("ours  (convert command)", tools, f, 0.8);
    }

    // The association alone: the program's files, sent by the program's sender and by storescu.
    const QString written = dir.path() + QStringLiteral("/written");
    QDir().mkpath(written);
    QStringList files;
    for (int k = 0; k < 18; ++k) {
        Dicom::Picture p;
        p.source = bmps[k];
        p.examNumber = QStringLiteral("X2025001");
        p.patientName = QStringLiteral("张三");
        p.age = QStringLiteral("42");
        p.ageUnit = QStringLiteral("岁");
        p.sex = QStringLiteral("男");
        p.studyId = QStringLiteral("1");
        p.studyUid = Dicom::NewUid();
        p.seriesUid = Dicom::NewUid();
        p.studyDate = p.seriesDate = p.date = QDate::currentDate();
        p.studyTime = p.seriesTime = p.time = QTime::currentTime();
        int n = k + 1;
        QString why;
        if (!Dicom::Coverttodcm(p, written, &n, &why))
            bench::die("cannot write the DICOM files", why);
        files << written + QStringLiteral("/image%1.dcm").arg(n);
    }
    auto senderOnce = [&] {
        const auto start = bench::Clock::now();
        Dicom::Association pacs(QStringLiteral("127.0.0.1"), scp.port(), QStringLiteral("PEL"), QStringLiteral("PEL"));
        for (const QString& file : files) {
            DcmFileFormat ff;
            QString why;
            if (ff.loadFile(QFile::encodeName(file).constData()).bad() || !pacs.store(*ff.getDataset(), file, &why))
                bench::die("the program's sender failed", why);
        }
        pacs.release();
        return bench::millisecondsSince(start);
    };
    auto storescuOnce = [&] {
        const auto start = bench::Clock::now();
        run(QStringLiteral("storescu"),
            QStringList{QStringLiteral("-aet"), QStringLiteral("PEL"), QStringLiteral("-aec"), QStringLiteral("PEL"),
                        QStringLiteral("127.0.0.1"), QString::number(scp.port())}
                + files);
        return bench::millisecondsSince(start);
    };
    Figures f;
    for (int r = 0; r < rounds; ++r) {
        double a = 0, b = 0;
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (r % 2 == 0);
            (oursNow ? a : b) = oursNow ? senderOnce() : storescuOnce();
            const int got = int(QDir(received).entryList(QDir::Files).size());
            if (got != int(files.size()))
                bench::die("storescp did not receive every file", QString::number(got));
            clearFolder(received);
        }
        f.ours.push_back(a);
        f.tools.push_back(b);
        f.ratios.push_back(a / b);
    }
    std::printf("one association of the program's 18 files (read and sent):\n");
    print("ours  (the program's sender)", "tools (storescu)", f, 0.9);
    scp.stop();
    kit::closeEditor();
    return 0;
}
