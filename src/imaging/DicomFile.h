#pragma once
#include <QDate>
#include <QString>
#include <QTime>

#include <memory>

class DcmDataset;
class DcmFileFormat;

namespace PrivateFile {
class Folder;
class NewFile;
}

// DICOM files made from captured pictures: Secondary Capture Image Storage,
// Explicit VR Little Endian, 8-bit RGB pixels, texts in UTF-8 ("ISO_IR 192").
namespace Dicom {

inline constexpr char kSecondaryCaptureClass[] = "1.2.840.10008.5.1.4.1.1.7";
// The institution name every file carries.
inline constexpr char kInstitutionName[] = "放射科";
// The largest image number of an exam folder (a 16-bit signed count).
inline constexpr int kMaxImageNumber = 32767;
// An exam folder, opened once: its files are written, named and looked up
// only through it. Shared by the conversion and the pictures it stages.
using ExamFolder = std::shared_ptr<const PrivateFile::Folder>;

// What one file is made of.
struct Picture {
    QString source;       // the picture: a 24-bit BMP, or any picture Qt reads (JPEG)
    QString examNumber;   // Patient ID
    QString patientName;
    QString age;       // the number as typed
    QString ageUnit;   // 岁, 月, 周 or 天
    QString institution = QString::fromUtf8(kInstitutionName);
    QString sex;       // "男" -> M, "女" -> F, anything else O
    QString studyId;   // Study ID
    int seriesNumber = 1;
    QString modality = QStringLiteral("DX");
    QDate studyDate;   // fixed when the study was made
    QTime studyTime;
    QDate seriesDate;   // once per conversion
    QTime seriesTime;
    QDate date;   // content and instance creation: per picture
    QTime time;
    int imageNumber = 1;   // Instance Number (the n of image<n>.dcm)
    QString studyUid;      // kept by the caller for the whole study
    QString seriesUid;     // one per conversion
};

// A new UID of our own: "2.25." and a random UUID as a decimal number (at most 44 characters).
QString NewUid();

// Patient Age as DICOM writes it: three digits and D, W, M or Y for 天, 周, 月 or 岁
// ("042Y" for 42.6 岁: whole units completed). Empty when the number is not 0..999
// or the unit is none of these (the attribute then stays empty).
QString AgeString(const QString& number, const QString& unit);

// The longest texts the attributes hold (characters).
inline constexpr int kMaxPatientId = 64;
inline constexpr int kMaxNameGroup = 64;   // each "="-separated component group of Patient Name
inline constexpr int kMaxInstitution = 64;
inline constexpr int kMaxStudyId = 16;
inline constexpr int kMaxTitle = 16;

// The value representations of the attributes the files carry.
enum class Vr {
    AS,   // age: three digits and D, W, M or Y
    CS,   // code: upper-case letters, digits, space, underscore; 16
    DA,   // date: YYYYMMDD
    IS,   // integer: 12
    LO,   // long text, one value: 64
    LT,   // long free text (CR, LF, FF and TAB allowed): 10240
    PN,   // person name: 64 per "="-separated group
    SH,   // short text, one value: 16
    ST,   // short free text (as LT): 1024
    TM,   // time: HH, HHMM, HHMMSS or HHMMSS.F to .FFFFFF
    UI,   // UID: digits and dots, 64
    UT    // unlimited free text (as LT)
};

// Whether a text fits its value representation as one value: its length, its
// characters (what a typed text may hold, core/TypedText.h, the free texts with
// CR, LF, FF and TAB; no backslash but in free texts) and its form. An empty text fits.
struct Fit {
    enum class Kind {
        Fits,
        Length,
        Character,   // `character` is the first one that does not belong
        Form
    };
    Kind kind = Kind::Fits;
    char32_t character = 0;
    bool fits() const { return kind == Kind::Fits; }
};
Fit CheckVr(Vr vr, const QString& value);
// A text typed by the user as the file holds it: a backslash, which would
// split the value, becomes the full-width one.
QString WrittenText(const QString& typed);

// Which value of a picture does not fit its attribute, and how.
enum class Misfit {
    None,
    PatientId,
    PatientName,
    Institution,
    StudyId,
    Modality,
    Age
};
struct Mismatch {
    Misfit field = Misfit::None;
    Fit fit;
};
// Whether the picture has an age that Patient Age cannot hold (AgeString is empty).
bool AgeLost(const Picture& picture);
// The patient's values and the fixed ones, each as written, against its
// attribute's value representation; an age the attribute cannot hold is a misfit.
Mismatch CheckValues(const Picture& picture);
// An AE title: 1..16 characters of the default repertoire, no backslash, not blank.
bool ValidTitle(const QString& title);

// One picture turned into a DICOM data set, written as a file and kept in
// memory for sending.
class Image {
public:
    Image();
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Reads the picture and fills the data set. False with the reason in *why.
    bool make(const Picture& picture, QString* why);
    // Writes the file image<n>.dcm in the folder, n from *n on, never replacing
    // a file, in two steps. stage() writes the data set, numbered with the
    // first n whose name is free, to a new file in the folder that has no name
    // yet (PrivateFile::NewFile) and syncs it; commit() gives it its name,
    // which fails when the name is taken (then the next n is staged and
    // named). The Instance Number follows n; *n is the number used. A staged
    // file that is not committed goes with discard() or the object, and a
    // program killed meanwhile leaves nothing. False with the reason in *why;
    // *full when no number up to maxNumber was free. The folder's entries are
    // synced by its sync().
    bool stage(const ExamFolder& folder, int* n, int maxNumber, QString* why, bool* full = nullptr);
    bool commit(int* n, int maxNumber, QString* why, bool* full = nullptr);
    void discard();
    // stage() and commit() in one.
    bool write(const ExamFolder& folder, int* n, int maxNumber, QString* why, bool* full = nullptr);
    // The file written last.
    QString file() const { return file_; }
    DcmDataset* dataset() const;

private:
    std::unique_ptr<DcmFileFormat> ff_;
    QString file_;
    ExamFolder folder_;
    std::unique_ptr<PrivateFile::NewFile> staged_;
    int number_ = 0;
};

// Writes the picture's file folder/image<n>.dcm (Image::make and write in one,
// the folder opened once): 0 on failure, with the reason in *why; 1 when the
// file is complete, *n the number used.
int Coverttodcm(const Picture& picture, const QString& folder, int* n, QString* why = nullptr);

// The name of image<n>.dcm in its folder.
inline QByteArray ImageEntry(int n) { return "image" + QByteArray::number(n) + ".dcm"; }
}
