#include "imaging/DicomFile.h"

#include "core/ModBackup.h"
#include "imaging/Bitmap24.h"
#include "imaging/BmpFile.h"
#include "platform/PrivateFile.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <QLocale>

#include <cerrno>
#include <cmath>
#include <vector>

namespace Dicom {
namespace {

OFString utf8(const QString& text)
{
    // A backslash separates values in DICOM texts: the full-width one keeps
    // the character visible without splitting the value.
    QString t = text;
    t.replace(QLatin1Char('\\'), QChar(0xFF3C));
    const QByteArray b = t.toUtf8();
    return OFString(b.constData(), size_t(b.size()));
}

QString sexCode(const QString& sex)
{
    if (sex == QStringLiteral("男"))
        return QStringLiteral("M");
    if (sex == QStringLiteral("女"))
        return QStringLiteral("F");
    return QStringLiteral("O");
}

// Copies the bottom-up BGR rows of the bitmap into top-down RGB samples.
void copyPixels(const Bitmap24& dib, Uint8* out)
{
    const int w = dib.Width();
    const int h = dib.Height();
    const int stride = dib.BytesPerScanLine();
    const uint8_t* bits = dib.DIBSectionBitsPtr();
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = bits + std::size_t(h - 1 - y) * std::size_t(stride);
        for (int x = 0; x < w; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

bool fill(DcmDataset& ds, const Picture& p, const Bitmap24& dib, QString* why)
{
    OFCondition c;
    // Texts typed by the user are one value each; fixed texts may hold several.
    auto put = [&](const DcmTagKey& key, const QString& value) {
        if (c.good())
            c = ds.putAndInsertOFStringArray(key, utf8(value));
    };
    auto putFixed = [&](const DcmTagKey& key, const char* value) {
        if (c.good())
            c = ds.putAndInsertString(key, value);
    };
    auto putU16 = [&](const DcmTagKey& key, Uint16 value) {
        if (c.good())
            c = ds.putAndInsertUint16(key, value);
    };
    const QString da = p.date.toString(QStringLiteral("yyyyMMdd"));
    const QString tm = p.time.toString(QStringLiteral("HHmmss"));

    // SOP Common
    putFixed(DCM_SpecificCharacterSet, "ISO_IR 192");
    putFixed(DCM_ImageType, "DERIVED\\SECONDARY");
    put(DCM_InstanceCreationDate, da);
    put(DCM_InstanceCreationTime, tm);
    putFixed(DCM_SOPClassUID, kSecondaryCaptureClass);
    put(DCM_SOPInstanceUID, NewUid(Uid::Instance));
    // General Study, General Series, General Image
    put(DCM_StudyDate, da);
    put(DCM_SeriesDate, da);
    put(DCM_ContentDate, da);
    put(DCM_StudyTime, tm);
    put(DCM_SeriesTime, tm);
    put(DCM_ContentTime, tm);
    put(DCM_AccessionNumber, QString());
    put(DCM_Modality, p.modality);
    putFixed(DCM_ConversionType, "DV");
    put(DCM_Manufacturer, QString());
    put(DCM_InstitutionName, p.institution);
    put(DCM_ReferringPhysicianName, QString());
    // Patient
    put(DCM_PatientName, p.patientName);
    put(DCM_PatientID, p.examNumber);
    put(DCM_PatientBirthDate, QString());
    put(DCM_PatientSex, sexCode(p.sex));
    if (const QString as = AgeString(p.age); !as.isEmpty())
        put(DCM_PatientAge, as);
    put(DCM_StudyInstanceUID, p.studyUid);
    put(DCM_SeriesInstanceUID, p.seriesUid);
    put(DCM_StudyID, p.studyId);
    put(DCM_SeriesNumber, QString::number(p.seriesNumber));
    put(DCM_InstanceNumber, QString::number(p.imageNumber));
    put(DCM_Laterality, QString());
    put(DCM_PatientOrientation, QString());
    // Image Pixel
    putU16(DCM_SamplesPerPixel, 3);
    putFixed(DCM_PhotometricInterpretation, "RGB");
    putU16(DCM_PlanarConfiguration, 0);
    putU16(DCM_Rows, Uint16(dib.Height()));
    putU16(DCM_Columns, Uint16(dib.Width()));
    putU16(DCM_BitsAllocated, 8);
    putU16(DCM_BitsStored, 8);
    putU16(DCM_HighBit, 7);
    putU16(DCM_PixelRepresentation, 0);
    if (c.bad())
        return fail(why, QString::fromLatin1(c.text()));

    const Uint32 size = Uint32(dib.Width()) * Uint32(dib.Height()) * 3;
    auto* pixels = new DcmPixelData(DcmTag(DCM_PixelData, EVR_OB));
    Uint8* bytes = nullptr;
    c = pixels->createUint8Array(size + (size & 1), bytes);
    if (c.bad() || !bytes) {
        delete pixels;
        return fail(why, QString::fromLatin1(c.text()));
    }
    copyPixels(dib, bytes);
    if (size & 1)
        bytes[size] = 0;
    c = ds.insert(pixels, OFTrue);
    if (c.bad()) {
        delete pixels;
        return fail(why, QString::fromLatin1(c.text()));
    }
    return true;
}

// The whole file as it goes to disk: file meta information and data set,
// encoded through the toolkit's buffer stream piece by piece.
bool encode(DcmFileFormat& ff, QByteArray& bytes, qsizetype expected, QString* why)
{
    std::vector<char> buffer(1 << 20);
    DcmOutputBufferStream out(buffer.data(), offile_off_t(buffer.size()));
    bytes.reserve(expected + 4096);
    ff.transferInit();
    OFCondition c;
    do {
        c = ff.write(out, EXS_LittleEndianExplicit, EET_ExplicitLength, nullptr, EGL_recalcGL);
        void* piece = nullptr;
        offile_off_t length = 0;
        out.flushBuffer(piece, length);
        bytes.append(static_cast<const char*>(piece), qsizetype(length));
    } while (c == EC_StreamNotifyClient);
    ff.transferEnd();
    return c.good() || fail(why, QString::fromLatin1(c.text()));
}

// A DICOM file is written new and owner-only: an existing file is never replaced.
bool writeNew(const QString& path, const QByteArray& bytes, QString* why)
{
    const int err = PrivateFile::writeNew(path, bytes);
    if (err == 0)
        return true;
    return fail(why, err == EEXIST ? QStringLiteral("文件已存在：%1").arg(path)
                                   : QStringLiteral("%1：%2").arg(path, ModBackup::FromErrno(err).text()));
}
}

QString NewUid(Uid kind)
{
    const char* root = kind == Uid::Study    ? SITE_STUDY_UID_ROOT
                       : kind == Uid::Series ? SITE_SERIES_UID_ROOT
                                             : SITE_INSTANCE_UID_ROOT;
    char uid[100];
    return QString::fromLatin1(dcmGenerateUniqueIdentifier(uid, root));
}

QString AgeString(const QString& years)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(years.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || v < 0 || v >= 1000)
        return QString();
    return QStringLiteral("%1Y").arg(int(std::floor(v)), 3, 10, QLatin1Char('0'));
}

int Coverttodcm(const Picture& p, QString* why)
{
    Bitmap24 dib;
    bool made = false;
    if (!dcmDataDict.isDictionaryLoaded())
        fail(why, QStringLiteral("DICOM数据字典未能加载"));
    else if (!BmpFile::read(p.source, dib) || dib.Width() <= 0 || dib.Height() <= 0)
        fail(why, QStringLiteral("无法读取图像文件 %1").arg(p.source));
    else if (dib.Width() > 0xFFFF || dib.Height() > 0xFFFF)
        fail(why, QStringLiteral("图像尺寸过大"));
    else {
        DcmFileFormat ff;
        QByteArray bytes;
        made = fill(*ff.getDataset(), p, dib, why) && encode(ff, bytes, qsizetype(dib.Width()) * dib.Height() * 3, why)
               && writeNew(p.file, bytes, why);
    }
    return made ? 1 : 0;
}
}
