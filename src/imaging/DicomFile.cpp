#include "imaging/DicomFile.h"

#include "core/ModBackup.h"
#include "core/TypedText.h"
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

#include <QFile>
#include <QLocale>
#include <QUuid>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Dicom {
namespace {

OFString utf8(const QString& text)
{
    const QByteArray b = text.toUtf8();
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

int characters(const QString& text) { return int(text.toUcs4().size()); }

const char* tagName(const DcmTagKey& key)
{
    const char* name = DcmTag(key).getTagName();
    return name ? name : "?";
}

bool fill(DcmDataset& ds, const Picture& p, const Bitmap24& dib, QString* why)
{
    OFCondition c;
    QString misfit;
    // Every text is checked against its value representation before it goes in:
    // texts typed by the user are one value each; fixed texts may hold several.
    auto check = [&](const DcmTagKey& key, Vr vr, const QString& value) {
        if (misfit.isEmpty() && !CheckVr(vr, value).fits())
            misfit = QStringLiteral("%1 不符合DICOM格式：%2").arg(QLatin1String(tagName(key)), value);
        return misfit.isEmpty();
    };
    auto put = [&](const DcmTagKey& key, Vr vr, const QString& value) {
        const QString written = WrittenText(value);
        if (c.good() && check(key, vr, written))
            c = ds.putAndInsertOFStringArray(key, utf8(written));
    };
    auto putFixed = [&](const DcmTagKey& key, Vr vr, const char* value) {
        for (const QString& one : QString::fromLatin1(value).split(QLatin1Char('\\')))
            check(key, vr, one);
        if (c.good() && misfit.isEmpty())
            c = ds.putAndInsertString(key, value);
    };
    auto putU16 = [&](const DcmTagKey& key, Uint16 value) {
        if (c.good())
            c = ds.putAndInsertUint16(key, value);
    };
    auto da = [](const QDate& d) { return d.toString(QStringLiteral("yyyyMMdd")); };
    auto tm = [](const QTime& t) { return t.toString(QStringLiteral("HHmmss")); };

    // SOP Common
    putFixed(DCM_SpecificCharacterSet, Vr::CS, "ISO_IR 192");
    putFixed(DCM_ImageType, Vr::CS, "DERIVED\\SECONDARY");
    put(DCM_InstanceCreationDate, Vr::DA, da(p.date));
    put(DCM_InstanceCreationTime, Vr::TM, tm(p.time));
    putFixed(DCM_SOPClassUID, Vr::UI, kSecondaryCaptureClass);
    put(DCM_SOPInstanceUID, Vr::UI, NewUid());
    // General Study (its date and time are the study's), General Series (the
    // conversion's), General Image (the picture's)
    put(DCM_StudyDate, Vr::DA, da(p.studyDate));
    put(DCM_SeriesDate, Vr::DA, da(p.seriesDate));
    put(DCM_ContentDate, Vr::DA, da(p.date));
    put(DCM_StudyTime, Vr::TM, tm(p.studyTime));
    put(DCM_SeriesTime, Vr::TM, tm(p.seriesTime));
    put(DCM_ContentTime, Vr::TM, tm(p.time));
    put(DCM_AccessionNumber, Vr::SH, QString());
    put(DCM_Modality, Vr::CS, p.modality);
    putFixed(DCM_ConversionType, Vr::CS, "DV");
    put(DCM_Manufacturer, Vr::LO, QString());
    put(DCM_InstitutionName, Vr::LO, p.institution);
    put(DCM_ReferringPhysicianName, Vr::PN, QString());
    // Patient
    put(DCM_PatientName, Vr::PN, p.patientName);
    put(DCM_PatientID, Vr::LO, p.examNumber);
    put(DCM_PatientBirthDate, Vr::DA, QString());
    put(DCM_PatientSex, Vr::CS, sexCode(p.sex));
    if (misfit.isEmpty() && AgeLost(p))
        misfit = QStringLiteral("PatientAge 不符合DICOM格式：%1%2").arg(p.age, p.ageUnit);
    put(DCM_PatientAge, Vr::AS, AgeString(p.age, p.ageUnit));
    put(DCM_StudyInstanceUID, Vr::UI, p.studyUid);
    put(DCM_SeriesInstanceUID, Vr::UI, p.seriesUid);
    put(DCM_StudyID, Vr::SH, p.studyId);
    put(DCM_SeriesNumber, Vr::IS, QString::number(p.seriesNumber));
    // Laterality is present and empty: its condition (a paired body part) is
    // not known to the program, and an absent one is an error for validators.
    put(DCM_Laterality, Vr::CS, QString());
    put(DCM_InstanceNumber, Vr::IS, QString::number(p.imageNumber));
    put(DCM_PatientOrientation, Vr::CS, QString());
    // Image Pixel
    putU16(DCM_SamplesPerPixel, 3);
    putFixed(DCM_PhotometricInterpretation, Vr::CS, "RGB");
    putU16(DCM_PlanarConfiguration, 0);
    putU16(DCM_Rows, Uint16(dib.Height()));
    putU16(DCM_Columns, Uint16(dib.Width()));
    putU16(DCM_BitsAllocated, 8);
    putU16(DCM_BitsStored, 8);
    putU16(DCM_HighBit, 7);
    putU16(DCM_PixelRepresentation, 0);
    if (!misfit.isEmpty())
        return fail(why, misfit);
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

QString errnoText(const QString& path, int err)
{
    return QStringLiteral("%1：%2").arg(path, ModBackup::FromErrno(err).text());
}
}

QString NewUid()
{
    // The UUID's 16 bytes as one big-endian number, turned into decimal digits
    // by repeated division by 10.
    QByteArray n = QUuid::createUuid().toRfc4122();
    QString digits;
    for (;;) {
        bool zero = true;
        int rest = 0;
        for (char& c : n) {
            const int cur = rest * 256 + int(uchar(c));
            c = char(cur / 10);
            rest = cur % 10;
            zero = zero && c == 0;
        }
        digits.prepend(QChar(u'0' + rest));
        if (zero)
            break;
    }
    return QStringLiteral("2.25.") + digits;
}

QString AgeString(const QString& number, const QString& unit)
{
    static const QString units = QStringLiteral("天周月岁");
    static const char codes[] = "DWMY";
    const qsizetype u = unit.trimmed().size() == 1 ? units.indexOf(unit.trimmed()) : -1;
    bool ok = false;
    const double v = QLocale::c().toDouble(number.trimmed(), &ok);
    if (u < 0 || !ok || !std::isfinite(v) || v < 0 || v >= 1000)
        return QString();
    return QStringLiteral("%1%2").arg(int(std::floor(v)), 3, 10, QLatin1Char('0')).arg(QLatin1Char(codes[u]));
}

namespace {
bool digits(const QString& t, qsizetype from, qsizetype count)
{
    if (from + count > t.size())
        return false;
    for (qsizetype i = from; i < from + count; ++i)
        if (!t[i].isDigit() || t[i].unicode() > 0x7F)
            return false;
    return true;
}

bool timeForm(const QString& t)
{
    auto two = [&t](qsizetype at, int max) { return digits(t, at, 2) && t.mid(at, 2).toInt() <= max; };
    if (!(t.size() == 2 || t.size() == 4 || t.size() >= 6) || !two(0, 23))
        return false;
    if (t.size() >= 4 && !two(2, 59))
        return false;
    if (t.size() >= 6 && !two(4, 60))
        return false;
    if (t.size() <= 6)
        return true;
    return t.size() >= 8 && t.size() <= 13 && t[6] == QLatin1Char('.') && digits(t, 7, t.size() - 7);
}

bool integerForm(const QString& t)
{
    bool ok = false;
    const qint64 v = t.trimmed().toLongLong(&ok);
    return ok && v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

bool uidForm(const QString& t)
{
    for (const QString& part : t.split(QLatin1Char('.')))
        if (part.isEmpty() || !digits(part, 0, part.size()) || (part.size() > 1 && part[0] == QLatin1Char('0')))
            return false;
    return true;
}

// A character the representation does not allow: texts hold what a typed text
// may hold, and only free texts a backslash; codes hold upper-case letters,
// digits, space and underscore.
std::optional<char32_t> badCharacter(Vr vr, const QString& value)
{
    if (vr == Vr::CS) {
        for (char32_t ch : value.toUcs4())
            if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == ' ' || ch == '_'))
                return ch;
        return std::nullopt;
    }
    const bool freeText = vr == Vr::LT || vr == Vr::ST || vr == Vr::UT;
    // The form feed belongs to DICOM's free texts.
    QString text = value;
    if (freeText)
        text.replace(QLatin1Char('\f'), QLatin1Char(' '));
    if (const auto refused = TypedText::FirstRefused(text, freeText ? TypedText::Kind::Free : TypedText::Kind::OneLine))
        return refused->character;
    if (!freeText && value.contains(QLatin1Char('\\')))
        return U'\\';
    return std::nullopt;
}

int longest(Vr vr)
{
    switch (vr) {
    case Vr::AS: return 4;
    case Vr::CS:
    case Vr::SH: return 16;
    case Vr::DA: return 8;
    case Vr::IS: return 12;
    case Vr::TM: return 13;
    case Vr::LO:
    case Vr::PN:
    case Vr::UI: return 64;
    case Vr::ST: return 1024;
    case Vr::LT: return 10240;
    case Vr::UT: break;
    }
    return std::numeric_limits<int>::max();
}

bool formOk(Vr vr, const QString& v)
{
    switch (vr) {
    case Vr::AS: return v.size() == 4 && digits(v, 0, 3) && QStringLiteral("DWMY").contains(v[3]);
    case Vr::DA: return v.size() == 8 && digits(v, 0, 8) && QDate::fromString(v, QStringLiteral("yyyyMMdd")).isValid();
    case Vr::TM: return timeForm(v);
    case Vr::IS: return integerForm(v);
    case Vr::UI: return uidForm(v);
    default: return true;
    }
}
}

Fit CheckVr(Vr vr, const QString& value)
{
    Fit f;
    if (value.isEmpty())
        return f;
    if (const auto bad = badCharacter(vr, value)) {
        f.kind = Fit::Kind::Character;
        f.character = *bad;
        return f;
    }
    // A person name's length counts per component group.
    const QStringList parts = vr == Vr::PN ? value.split(QLatin1Char('=')) : QStringList{value};
    for (const QString& part : parts)
        if (characters(part) > longest(vr))
            f.kind = Fit::Kind::Length;
    if (f.fits() && !formOk(vr, value))
        f.kind = Fit::Kind::Form;
    return f;
}

QString WrittenText(const QString& typed)
{
    // A backslash separates values in DICOM texts: the full-width one keeps
    // the character visible without splitting the value.
    QString t = typed;
    t.replace(QLatin1Char('\\'), QChar(0xFF3C));
    return t;
}

bool AgeLost(const Picture& p) { return !p.age.trimmed().isEmpty() && AgeString(p.age, p.ageUnit).isEmpty(); }

Mismatch CheckValues(const Picture& p)
{
    // An age the attribute cannot hold is not left out of the file.
    if (AgeLost(p))
        return {Misfit::Age, Fit{Fit::Kind::Form, 0}};
    const std::tuple<Misfit, Vr, QString> values[] = {
        {Misfit::PatientId, Vr::LO, p.examNumber},    {Misfit::PatientName, Vr::PN, p.patientName},
        {Misfit::Institution, Vr::LO, p.institution}, {Misfit::StudyId, Vr::SH, p.studyId},
        {Misfit::Modality, Vr::CS, p.modality},       {Misfit::Age, Vr::AS, AgeString(p.age, p.ageUnit)},
    };
    for (const auto& [field, vr, value] : values)
        if (const Fit f = CheckVr(vr, WrittenText(value)); !f.fits())
            return {field, f};
    return {};
}

bool ValidTitle(const QString& title)
{
    if (title.trimmed().isEmpty() || title.size() > kMaxTitle)
        return false;
    for (QChar ch : title)
        if (ch.unicode() < 0x20 || ch.unicode() > 0x7E || ch == QLatin1Char('\\'))
            return false;
    return true;
}

Image::Image() = default;
Image::~Image() { discard(); }

DcmDataset* Image::dataset() const { return ff_ ? ff_->getDataset() : nullptr; }

bool Image::make(const Picture& p, QString* why)
{
    ff_.reset();
    Bitmap24 dib;
    if (!dcmDataDict.isDictionaryLoaded())
        return fail(why, QStringLiteral("DICOM数据字典未能加载"));
    if (!BmpFile::read(p.source, dib) || dib.Width() <= 0 || dib.Height() <= 0)
        return fail(why, QStringLiteral("无法读取图像文件 %1").arg(p.source));
    if (dib.Width() > 0xFFFF || dib.Height() > 0xFFFF)
        return fail(why, QStringLiteral("图像尺寸过大"));
    auto ff = std::make_unique<DcmFileFormat>();
    if (!fill(*ff->getDataset(), p, dib, why))
        return false;
    ff_ = std::move(ff);
    return true;
}

bool Image::stage(const ExamFolder& folder, int* n, int maxNumber, QString* why, bool* full)
{
    discard();
    if (full)
        *full = false;
    if (!ff_)
        return fail(why, QStringLiteral("没有可写入的DICOM图像"));
    struct stat st {};
    // A name that is there in any form is taken, a link to nowhere too.
    while (*n <= maxNumber && folder->stat(ImageEntry(*n), &st) == 0)
        ++*n;
    if (*n > maxNumber) {
        if (full)
            *full = true;
        return fail(why, QStringLiteral("%1：编号已用完").arg(folder->pathOf(ImageEntry(*n))));
    }
    DcmDataset& ds = *ff_->getDataset();
    const OFCondition c = ds.putAndInsertString(DCM_InstanceNumber, QByteArray::number(*n).constData());
    if (c.bad())
        return fail(why, QString::fromLatin1(c.text()));
    QByteArray bytes;
    if (!encode(*ff_, bytes, qsizetype(ds.getLength(EXS_LittleEndianExplicit)), why))
        return false;
    auto staged = std::make_unique<PrivateFile::NewFile>(*folder);
    // Synced here, off the thread that names it: the name then comes at once.
    if (staged->write(bytes.constData(), bytes.size()) && ::fdatasync(staged->fd()) != 0)
        staged->fail(errno);
    if (staged->error() != 0)
        return fail(why, errnoText(folder->path(), staged->error()));
    staged_ = std::move(staged);
    folder_ = folder;
    number_ = *n;
    return true;
}

bool Image::commit(int* n, int maxNumber, QString* why, bool* full)
{
    for (;;) {
        if (!staged_)
            return fail(why, QStringLiteral("没有可写入的DICOM图像"));
        const QByteArray entry = ImageEntry(number_);
        // Never over a name: when it was taken meanwhile, the next one.
        const int err = staged_->commit(entry, false);
        staged_.reset();
        if (err == 0) {
            file_ = folder_->pathOf(entry);
            *n = number_;
            return true;
        }
        if (err != EEXIST)
            return fail(why, errnoText(folder_->pathOf(entry), err));
        int next = number_ + 1;
        if (!stage(folder_, &next, maxNumber, why, full))
            return false;
    }
}

void Image::discard() { staged_.reset(); }

bool Image::write(const ExamFolder& folder, int* n, int maxNumber, QString* why, bool* full)
{
    return stage(folder, n, maxNumber, why, full) && commit(n, maxNumber, why, full);
}

int Coverttodcm(const Picture& picture, const QString& folder, int* n, QString* why)
{
    auto exam = std::make_shared<PrivateFile::Folder>(PrivateFile::Folder::open(folder));
    if (!exam->isOpen()) {
        if (why)
            *why = exam->refusedLink().isEmpty()
                       ? errnoText(folder, exam->error())
                       : PrivateFile::refusedLinkText(exam->refusedLink(), PrivateFile::Remedy::DicomSettings);
        return 0;
    }
    Image image;
    return image.make(picture, why) && image.write(exam, n, kMaxImageNumber, why) ? 1 : 0;
}
}
