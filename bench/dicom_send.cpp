// DICOM conversion and sending of four 1920x1080 captures, as the editor's
// convert command does it with autoSend 1 - Coverttodcm then dcmfileSend for
// each picture, one association per file - timed against DCMTK's own tools on
// the same pictures: img2dcm four times (one process per picture) and then
// storescu sending the four files over one association.
// Goal: ours takes at most 1.0 times the tools.
//
//     build/bench/bench_dicom_send [ROUNDS]        (default 15)
//
// The four pictures are 24-bit BMP files as the capture writes them, each with
// shading, edges and noise of its own. One storescp on a free loopback port
// receives everything (it stores each file, as a PACS does); received and
// written files are removed between rounds, untimed. The two sides run
// alternately, ours first in odd rounds and the tools first in even ones.
// Printed: median and minimum of both sides, and the ratio of the medians.
#include "common.h"
#include "imaging/BmpFile.h"
#include "imaging/DicomFile.h"
#include "imaging/DicomSend.h"
#include "support/DicomPeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>


#include <random>

namespace {

QImage picture(int seed)
{
    QImage img(1920, 1080, QImage::Format_RGB888);
    std::mt19937 rng{unsigned(seed)};
    std::normal_distribution<double> noise(0.0, 6.0);
    const double cx = 500 + 300 * seed, cy = 540;
    for (int y = 0; y < img.height(); ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < img.width(); ++x) {
            const double r = std::hypot(x - cx, y - cy);
            const double base = 40 + 150 * std::exp(-r * r / 2.0e5) + (x % 240 < 8 ? 50 : 0);
            const int v = std::clamp(int(base + noise(rng)), 0, 255);
            row[3 * x] = uchar(v);
            row[3 * x + 1] = uchar(std::clamp(v - 10 * seed, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(v + 5 * seed, 0, 255));
        }
    }
    return img;
}

void run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit
        || p.exitCode() != 0)
        bench::die("a DCMTK tool failed", program + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
}

void clearFolder(const QString& path)
{
    QDir d(path);
    for (const QString& f : d.entryList(QDir::Files))
        d.remove(f);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    for (const char* tool : {"storescp", "storescu", "img2dcm"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            bench::die("missing DCMTK tool (package dcmtk)", QString::fromLatin1(tool));

    QTemporaryDir dir;
    const QString in = dir.path() + QStringLiteral("/in"), ours = dir.path() + QStringLiteral("/ours"),
                  tools = dir.path() + QStringLiteral("/tools");
    for (const QString& d : {in, ours, tools})
        QDir().mkpath(d);
    QStringList bmps;
    for (int k = 1; k <= 4; ++k) {
        bmps << in + QStringLiteral("/image%1.bmp").arg(k);
        if (!BmpFile::write24(picture(k), bmps.last()))
            bench::die("cannot write the test pictures");
    }

    // The PACS: storescp on a free loopback port, as the DICOM tests run it.
    dicompeer::StoreScp scp;
    if (!scp.start())
        bench::die("storescp does not start", scp.error());
    const int port = scp.port();
    const QString received = scp.folder();
    // One file sent first, so both sides meet a storescp that has answered before.
    const QString probe = dir.path() + QStringLiteral("/probe.dcm");
    Dicom::Picture pp;
    pp.file = probe;
    pp.source = bmps.first();
    pp.studyUid = Dicom::NewUid(Dicom::Uid::Study);
    pp.seriesUid = Dicom::NewUid(Dicom::Uid::Series);
    if (!Dicom::Coverttodcm(pp)
        || !Dicom::dcmfileSend(QStringLiteral("127.0.0.1"), port, QStringLiteral("PEL"), QStringLiteral("PEL"), probe))
        bench::die("storescp does not answer");

    const QString studyUid = Dicom::NewUid(Dicom::Uid::Study);
    std::vector<double> converting;
    auto oursOnce = [&] {
        double conv = 0;
        const QString seriesUid = Dicom::NewUid(Dicom::Uid::Series);
        for (int k = 0; k < 4; ++k) {
            Dicom::Picture p;
            p.file = ours + QStringLiteral("/image%1.dcm").arg(k + 1);
            p.source = bmps[k];
            p.examNumber = QStringLiteral("X2025001");
            p.patientName = QStringLiteral("张三");
            p.age = QStringLiteral("42");
            p.sex = QStringLiteral("男");
            p.studyId = QStringLiteral("1");
            p.date = QDate::currentDate();
            p.time = QTime::currentTime();
            p.imageNumber = k + 1;
            p.studyUid = studyUid;
            p.seriesUid = seriesUid;
            QString why;
            const auto start = bench::Clock::now();
            if (!Dicom::Coverttodcm(p, &why))
                bench::die("Coverttodcm failed", why);
            conv += bench::millisecondsSince(start);
            if (!Dicom::dcmfileSend(QStringLiteral("127.0.0.1"), port, QStringLiteral("PEL"), QStringLiteral("PEL"),
                                    p.file, &why))
                bench::die("dcmfileSend failed", why);
        }
        converting.push_back(conv);
    };
    auto toolsOnce = [&] {
        QStringList files;
        for (int k = 0; k < 4; ++k) {
            files << tools + QStringLiteral("/image%1.dcm").arg(k + 1);
            run(QStringLiteral("img2dcm"),
                {QStringLiteral("-i"), QStringLiteral("BMP"), QStringLiteral("-k"), QStringLiteral("PatientName=张三"),
                 QStringLiteral("-k"), QStringLiteral("PatientID=X2025001"), bmps[k], files.last()});
        }
        run(QStringLiteral("storescu"),
            QStringList{QStringLiteral("-aet"), QStringLiteral("PEL"), QStringLiteral("-aec"), QStringLiteral("PEL"),
                        QStringLiteral("127.0.0.1"), QString::number(port)}
                + files);
    };

    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (r % 2 == 0);
            const auto start = bench::Clock::now();
            if (oursNow)
                oursOnce();
            else
                toolsOnce();
            (oursNow ? a : b).push_back(bench::millisecondsSince(start));
            const int got = QDir(received).entryList(QDir::Files).size();
            if (got != 4 + (r == 0 && side == 0))
                bench::die("storescp did not receive the four files");
            clearFolder(received);
            clearFolder(oursNow ? ours : tools);
        }
    }
    scp.stop();

    std::printf("four 1920x1080 captures converted and sent, %d rounds\n", rounds);
    std::printf("  ours  (Coverttodcm + dcmfileSend x4): median %7.1f ms  min %7.1f ms\n", bench::median(a),
                bench::minimum(a));
    std::printf("        of which converting            : median %7.1f ms\n", bench::median(converting));
    std::printf("  tools (img2dcm x4 + storescu)       : median %7.1f ms  min %7.1f ms\n", bench::median(b),
                bench::minimum(b));
    std::printf("  ratio of the medians: %.2fx (goal <= 1.0x)\n", bench::median(a) / bench::median(b));
    return 0;
}
