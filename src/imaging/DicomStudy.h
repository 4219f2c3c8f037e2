#pragma once
#include <QDate>
#include <QString>
#include <QTime>

#include <functional>
#include <optional>

// The numbering of DICOM conversions: the study number and series id drawn
// from table DCMConvertCS, and the study the editor keeps from one conversion
// to the next. Shows nothing: a failure comes back as the box to show.
namespace Dicom {

struct Failure {
    QString text;
    QString title;
};

class StudyBook {
public:
    // The last conversion's numbers; DcmStudyId and DcmSeriesId are empty until
    // the first conversion and again after forget().
    QString DcmStudyId;
    QString DcmSeriesId;
    int DcmSeriesNo = 0;   // 1 when a study starts, one more for each conversion joined to it
    // The study's own UID, date and time, fixed when it was made, and whose it is.
    QString studyUid;
    QDate studyDate;
    QTime studyTime;
    QString examNumber;
    QString patientName;
    // The conversion's series: its UID, date and time.
    QString seriesUid;
    QDate seriesDate;
    QTime seriesTime;

    // Forgets the study (the editor's New and load): the next conversion starts a new one.
    void forget();
    // Whether a conversion of this exam number and patient may join the last study:
    // only the same exam number and name as the last conversion's.
    bool mayJoin(const QString& exam, const QString& name) const;

    // Issues the numbers of one conversion in one transaction: reads both
    // counters, advances the series counter, then - when mayJoin() and askJoin()
    // answers yes - joins the last study, or else advances the study counter
    // and starts a new study dated now. The book changes only when everything
    // was stored. Nothing, or the failure to show.
    std::optional<Failure> issue(const QString& exam, const QString& name, const std::function<bool()>& askJoin,
                                 const QDate& today, const QTime& now);
};
}
