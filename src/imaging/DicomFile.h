#pragma once
#include <QDate>
#include <QString>
#include <QTime>

// DICOM files made from captured pictures: Secondary Capture Image Storage,
// Explicit VR Little Endian, 8-bit RGB pixels, texts in UTF-8 ("ISO_IR 192").
namespace Dicom {

inline constexpr char kSecondaryCaptureClass[] = "1.2.840.10008.5.1.4.1.1.7";
// The institution name every file carries.
inline constexpr char kInstitutionName[] = "放射科";

// What one file is made of, in the order the conversion hands it over.
struct Picture {
    QString file;         // the DICOM file to write (never replaced when it exists)
    QString source;       // the picture: a 24-bit BMP, or any picture Qt reads (JPEG)
    QString examNumber;   // Patient ID
    QString patientName;
    QString age;   // a number of years; Patient Age is left out when it is not 0..999
    QString institution = QString::fromUtf8(kInstitutionName);
    QString sex;       // "男" -> M, "女" -> F, anything else O
    QString studyId;   // Study ID
    int seriesNumber = 1;
    QString modality = QStringLiteral("DX");
    QDate date;            // study, series, content and creation date
    QTime time;            // and time
    int imageNumber = 1;   // Instance Number
    QString studyUid;      // kept by the caller for the whole study
    QString seriesUid;     // one per conversion
};

// A new UID for a study, a series or an instance (a file), unique for this
// machine, process and moment.
enum class Uid { Study, Series, Instance };
QString NewUid(Uid kind);

// Writes the picture's DICOM file. 0 on failure, with the reason in *why
// (the file is then not left behind half written); 1 when the file is complete.
int Coverttodcm(const Picture& picture, QString* why = nullptr);

// Patient Age as DICOM writes it ("042Y"), or empty when the text is not an age of 0..999 years.
QString AgeString(const QString& years);
}
