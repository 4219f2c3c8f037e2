#include "editor/ReportLoader.h"

#include "editor/DataRecord.h"
#include "editor/Frmcfsj.h"
#include "core/ListGrid.h"
#include "core/ReportRecord.h"

#include "core/Mmain.h"
#include "core/Database.h"
#include "core/ReportStore.h"
#include "core/Openers.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableView>

#include <cstring>

using namespace ReportRecord;
using Mmain::gRights;

namespace ReportLoader {
namespace {
// The order in which the controls are filled: the section before the
// requesting physician.
const int kFillOrder[] = {
    obligate5,       brname,    sex,       age,      ageunit, bedid, sectionoffice,  utpatientid, inpatientid,
    pgdate,          obligate1, pgdr,      rpdr,     times,   part,  checktechnique, checkname,   checksymptom,
    checkconclusion, obligate2, obligate3, obligate4};

// Writes one owner-only slot file with exactly the field's bytes; false with a reason.
bool writeSlotFile(const QString& path, const QByteArray& bytes, QString* why)
{
    if (const int err = PrivateFile::writeNew(path, bytes)) {
        *why = QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    return true;
}
}

QString SlotFile(int n) { return AppPaths::imageFolder() + QStringLiteral("/rpt%1.jpg").arg(n); }

bool RemoveSlotFiles(QString* error)
{
    bool ok = true;
    for (int n = 1; n <= 4; ++n) {
        const QString path = SlotFile(n);
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            ok = false;
            if (error)
                *error = QStringLiteral("无法删除图像文件：") + path;
        }
    }
    return ok;
}

bool PrepareImageFolder(QString* error)
{
    const QString folder = AppPaths::imageFolder();
    if (!QFileInfo(folder).isDir() && !PrivateFile::makeFolder(folder)) {
        if (error)
            *error = QStringLiteral("无法建立图像文件夹：") + folder;
        return false;
    }
    return RemoveSlotFiles(error);
}

bool LoadReportIntoEditor(const QString& keyText, Variant variant)
{
    const QueryResult r = ReportStore::Load(keyText);
    if (!r.hasRows()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return false;
    }
    const RecordSet& rs = *r.data;
    const qint64 key = rs.field(ctid).toLongLong();
    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    // The slots are emptied once the row is read: a refused or failed load
    // leaves the open record's pictures as they were.
    ed.clearSlots();

    // The opening: the information page, the record's key and mode, and its
    // edit state. A read-only record is disabled before it is filled, so the
    // fill raises no entry aid; an editable one is enabled once it is filled.
    DataRecord::Opening opening;
    opening.mode = DataRecord::EditMode::Update;
    opening.key = QString::number(key);
    const bool right1 = gRights[Mmain::RightEditOwn];
    switch (variant) {
    case Variant::View:
    case Variant::QueryView:
    case Variant::RelatedView:
        opening.state = DataRecord::EditState::viewing(right1, true);
        if (variant == Variant::QueryView)
            opening.key = keyText;
        break;
    case Variant::Modify: opening.state = DataRecord::EditState::editing(true); break;
    case Variant::Copy:
        opening.state = DataRecord::EditState::editing(false);
        opening.mode = DataRecord::EditMode::Insert;
        opening.key.clear();
        break;
    }
    const bool readOnly = opening.state.stage == DataRecord::EditState::Stage::Viewing;
    if (readOnly)
        ed.open(opening);

    for (int f : kFillOrder) {
        QString text = ValueText(rs.field(f));
        if (f == times)
            text = FeeText(rs.field(f));
        if (variant == Variant::Copy && f == pgdate)
            text = DateText(Environment::today());
        if (variant == Variant::Copy && f == rpdr)
            text = Mmain::gUserName;
        ed.setControlText(f, text);
    }

    // Slot files: exactly those of the record's filled slots exist afterwards.
    QString folderError;
    const bool folderOk = PrepareImageFolder(&folderError);
    if (!folderOk)
        MessageBox::critical(folderError, MessageBox::kSystemErrorTitle);
    for (int n = 1; n <= 4; ++n) {
        const QVariant v = rs.field(kFirstPictureField + n - 1);
        ed.keepStoredPicture(n - 1, false);
        const QByteArray bytes = v.toByteArray();
        if (!v.isValid() || v.isNull() || bytes.isEmpty())
            continue;
        const QString path = SlotFile(n);
        QString why;
        if (!QFileInfo(AppPaths::imageFolder()).isDir() || !writeSlotFile(path, bytes, &why)) {
            QString text = QStringLiteral("无法写入报告图像%1：%2").arg(n).arg(path);
            if (!why.isEmpty())
                text += QStringLiteral("\r\n") + why;
            MessageBox::critical(text, MessageBox::kSystemErrorTitle);
            ed.keepStoredPicture(n - 1, true);
            continue;
        }
        if (!ed.showSlotFile(n - 1, path)) {
            QFile::remove(path);
            MessageBox::critical(QStringLiteral("报告图像%1不能显示：%2").arg(n).arg(path),
                                 MessageBox::kSystemErrorTitle);
            ed.keepStoredPicture(n - 1, true);
        }
    }

    if (!readOnly)
        ed.open(opening);
    if (variant == Variant::View || variant == Variant::Modify || variant == Variant::QueryView)
        ed.showModally();
    return true;
}

void ViewFromMainList(const Openers::ListedReport& current)
{
    if (current.empty) {
        MessageBox::critical(QStringLiteral("当前数据记录为空，不能进行查看操作"), MessageBox::kErrorTitle);
        return;
    }
    LoadReportIntoEditor(current.key, Variant::View);
}

void ModifyFromMainList(const Openers::ListedReport& current)
{
    if (current.empty) {
        MessageBox::critical(QStringLiteral("当前数据记录为空，不能进行修改操作"), MessageBox::kErrorTitle);
        return;
    }
    if (!ReportStore::MayChange(current.owner)) {
        MessageBox::information(QStringLiteral("你没有修改其他人所建报告的权限，操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    LoadReportIntoEditor(current.key, Variant::Modify);
}

void QueryView(const QString& key)
{
    if (key.isEmpty()) {
        MessageBox::information(QStringLiteral("当前没有查询数据"), MessageBox::kNoticeTitle);
        return;
    }
    LoadReportIntoEditor(key, Variant::QueryView);
}

namespace {
bool related(const QTableView* grid, Variant v)
{
    if (ListGrid::IsEmpty(grid)) {
        MessageBox::critical(QStringLiteral("当前数据记录为空，不能进行查看操作"), MessageBox::kErrorTitle);
        return false;
    }
    return LoadReportIntoEditor(ListGrid::Cell(grid, ListGrid::SelectedRow(grid), Frmcfsj::kKeyColumn), v);
}
}

bool RelatedCopy(const QTableView* grid) { return related(grid, Variant::Copy); }
bool RelatedView(const QTableView* grid) { return related(grid, Variant::RelatedView); }
}
