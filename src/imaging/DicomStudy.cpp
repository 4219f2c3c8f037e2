#include "imaging/DicomStudy.h"

#include "core/Database.h"
#include "imaging/DicomFile.h"
#include "imaging/DicomSettings.h"
#include "platform/AppError.h"
#include "platform/MessageBox.h"

#include <limits>

namespace Dicom {
namespace {

Failure overflow() { return {AppError::format(AppError::Overflow, QStringLiteral("溢出")), MessageBox::kErrorTitle}; }

// Advances one counter by one.
std::optional<Failure> advance(const QString& counter)
{
    const QueryResult r =
        Database::ExecuteSql(QStringLiteral("update DCMConvertCS set CSid = CSid + 1 where CSname = ?"), {counter});
    if (!r.ok())
        return Failure{r.description, MessageBox::kSystemErrorTitle};
    return std::nullopt;
}
}

void StudyBook::forget() { *this = StudyBook(); }

bool StudyBook::mayJoin(const QString& exam, const QString& name) const
{
    return !DcmStudyId.isEmpty() && exam == examNumber && name == patientName;
}

std::optional<Failure> StudyBook::issue(const QString& exam, const QString& name, const std::function<bool()>& askJoin,
                                        const QDate& today, const QTime& now)
{
    using namespace DicomSettings;
    Database::Transaction t;
    if (!t.started())
        return Failure{t.beginResult().description, MessageBox::kSystemErrorTitle};
    QString failure;
    const auto study = ReadCounter(kStudyCounter, &failure);
    if (!study)
        return Failure{failure, MessageBox::kErrorTitle};
    const auto series = ReadCounter(kSeriesCounter, &failure);
    if (!series)
        return Failure{failure, MessageBox::kErrorTitle};
    if (auto f = advance(kSeriesCounter))
        return f;
    if (*series == std::numeric_limits<int>::max())
        return overflow();

    StudyBook next = *this;
    next.DcmSeriesId = QString::number(*series + 1);
    if (mayJoin(exam, name) && askJoin()) {
        next.DcmSeriesNo = DcmSeriesNo + 1;
    } else {
        if (auto f = advance(kStudyCounter))
            return f;
        if (*study == std::numeric_limits<int>::max())
            return overflow();
        next.DcmStudyId = QString::number(*study + 1);
        next.DcmSeriesNo = 1;
        next.studyUid = NewUid();
        next.studyDate = today;
        next.studyTime = now;
        next.examNumber = exam;
        next.patientName = name;
    }
    next.seriesUid = NewUid();
    next.seriesDate = today;
    next.seriesTime = now;
    const QueryResult done = t.commit();
    if (!done.ok())
        return Failure{done.description, MessageBox::kSystemErrorTitle};
    *this = next;
    return std::nullopt;
}
}
