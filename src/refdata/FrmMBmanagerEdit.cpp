// The template window's buttons: the three openings, New, Update, Save,
// Delete, Quit, and Load, which appends the chosen template to the report the
// editor is writing.
#include "refdata/FrmMBmanager.h"

#include "core/Mmain.h"
#include "core/QvButton.h"
#include "editor/DataRecord.h"
#include "core/ReportRecord.h"
#include "core/TypedText.h"
#include "platform/MessageBox.h"
#include "refdata/DictGrid.h"
#include "refdata/DictionaryWindow.h"
#include "refdata/PickCombo.h"
#include "refdata/TemplateStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <tuple>

namespace {
const QString kChoosePart = QStringLiteral("请在部位列表中选择所属检查部位");

bool hasTemplateRight() { return Mmain::gRights[Mmain::RightTemplates]; }

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Text, colour);
    w->setPalette(p);
}
}

// ---------------------------------------------------------------------------
// The three openings.

void FrmMBmanager::openForMaintenance()
{
    ensureLoaded();
    if (!hasTemplateRight())
        ButtnNew->setEnabled(false);
    for (QvButton* b : {ButtnDel, ButtnUpdate, ButtnSave, ButtnLoad})
        b->setEnabled(false);
    OpenStatus(QString());
    showModally();
}

void FrmMBmanager::openForPicking()
{
    ensureLoaded();
    if (!hasTemplateRight())
        ButtnNew->setEnabled(false);
    for (QvButton* b : {ButtnDel, ButtnUpdate, ButtnSave, ButtnLoad})
        b->setEnabled(false);
    OpenStatus(QStringLiteral("load"));
    showModally();
}

void FrmMBmanager::openForOffer(const QString& name, const QString& findings, const QString& diagnosis)
{
    ensureLoaded();
    Text1->setText(name);
    Text1->setCursorPosition(0);
    Text2->setPlainText(findings);
    Text3->setPlainText(diagnosis);
    lockFields(false);
    for (QvButton* b : {ButtnNew, ButtnDel, ButtnUpdate})
        b->setEnabled(false);
    ButtnSave->setEnabled(true);
    ButtnLoad->setEnabled(false);
    Savebj(QStringLiteral("insert"));
    OpenStatus(QString());
    showModally();
}

// ---------------------------------------------------------------------------
// Field looks: read-only is locked but enabled, with dark grey text.

bool FrmMBmanager::fieldsLocked() const { return Text1 && Text1->isReadOnly(); }

void FrmMBmanager::lockFields(bool locked)
{
    Combopart->setLocked(locked);
    Comboassort->setLocked(locked);
    Text1->setReadOnly(locked);
    Text2->setReadOnly(locked);
    Text3->setReadOnly(locked);
}

void FrmMBmanager::colourFields(bool readOnly)
{
    const QColor colour = readOnly ? QColor(0x40, 0x40, 0x40) : QColor(Qt::black);
    for (QWidget* w : {static_cast<QWidget*>(Combopart->lineEdit()), static_cast<QWidget*>(Comboassort->lineEdit()),
                       static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3)})
        setTextColour(w, colour);
}

void FrmMBmanager::setReadOnlyLook()
{
    lockFields(true);
    colourFields(true);
}

void FrmMBmanager::setEditableLook()
{
    lockFields(false);
    colourFields(false);
}

void FrmMBmanager::clearFields()
{
    Combopart->setTypedText(QString());
    Comboassort->setTypedText(QString());
    Text1->clear();
    Text2->clear();
    Text3->clear();
}

void FrmMBmanager::enableWithRight(QvButton* b)
{
    if (hasTemplateRight())
        b->setEnabled(true);
}

// ---------------------------------------------------------------------------
// New, Update, Save, Delete, Quit.

void FrmMBmanager::ButtnNew_Click()
{
    setEditableLook();
    clearFields();
    Text2->setFocus();
    mode_ = QStringLiteral("insert");
    for (QvButton* b : {ButtnNew, ButtnUpdate, ButtnDel, ButtnLoad})
        b->setEnabled(false);
    ButtnSave->setEnabled(true);
}

void FrmMBmanager::ButtnUpdate_Click()
{
    if (templateNo_ == 0) {
        MessageBox::critical(QStringLiteral("没有符合条件的数据记录"), MessageBox::kErrorTitle);
        return;
    }
    setEditableLook();
    Text2->setFocus();
    for (QvButton* b : {ButtnNew, ButtnUpdate, ButtnDel, ButtnLoad})
        b->setEnabled(false);
    ButtnSave->setEnabled(true);
    mode_ = QStringLiteral("update");
}

bool FrmMBmanager::failCheck(QWidget* field, const QString& text)
{
    MessageBox::critical(text, MessageBox::kErrorTitle);
    field->setFocus();
    return false;
}

// A part and a category count only when picked from their lists (or chosen by
// the window for a shown template), never when typed.
bool FrmMBmanager::checkFields()
{
    if (Text1->text().isEmpty())
        return failCheck(Text1, QStringLiteral("模板名称不能为空,请输入"));
    if (Text2->toPlainText().isEmpty())
        return failCheck(Text2, QStringLiteral("X线征象不能为空,请输入"));
    if (Text3->toPlainText().isEmpty())
        return failCheck(Text3, QStringLiteral("诊断意见不能为空,请输入"));
    if (partTag_.isEmpty() || Combopart->currentText().isEmpty() || Combopart->chosen() < 0)
        return failCheck(Combopart, kChoosePart);
    if (assortTag_.isEmpty() || Comboassort->currentText().isEmpty() || Comboassort->chosen() < 0)
        return failCheck(Comboassort, kChoosePart);
    // The three texts by the rule of what a typed text may hold (the two
    // report texts keep their line breaks and tabs).
    const std::tuple<QWidget*, QLabel*, QString, TypedText::Kind> texts[] = {
        {Text1, Label3, Text1->text(), TypedText::Kind::OneLine},
        {Text2, Label4, Text2->toPlainText(), TypedText::Kind::Free},
        {Text3, Label5, Text3->toPlainText(), TypedText::Kind::Free}};
    for (const auto& [field, label, text, kind] : texts)
        if (const auto refused = TypedText::FirstRefused(text, kind))
            return failCheck(field, TypedText::RefusedText(TypedText::FieldName(label->text()), refused->character));
    return true;
}

void FrmMBmanager::ButtnSave_Click()
{
    if (mode_.isEmpty()) {
        MessageBox::critical(QStringLiteral("数据已经保存"), MessageBox::kErrorTitle);
        return;
    }
    if (!checkFields())
        return;
    const bool insert = mode_ == QLatin1String("insert");
    const TemplateStore::Fields fields{assortTag_.toLongLong(), Text1->text(), Text2->toPlainText(),
                                       Text3->toPlainText()};
    qint64 newKey = 0;
    const QueryResult r = insert ? TemplateStore::Insert(fields, &newKey) : TemplateStore::Update(templateNo_, fields);
    if (!r.ok()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }

    DictGrid* g = MSHFlexGrid1;
    if (insert) {
        // The new template's number is the one the database gave it; the row
        // goes into whatever list is shown, with the diagnosis as typed.
        templateNo_ = newKey;
        const QStringList texts{QString::number(templateNo_), Text3->toPlainText()};
        if (g->hasRows()) {
            g->appendRow(texts);
        } else {
            g->setRowTexts(0, texts);
            g->setFilledLook();
        }
        g->selectWholeRow(g->rows() - 1);
    } else {
        g->setCell(g->endRow(), 1, Text3->toPlainText());
    }
    setReadOnlyLook();
    for (QvButton* b : {ButtnNew, ButtnUpdate, ButtnDel})
        enableWithRight(b);
    ButtnLoad->setEnabled(true);
    ButtnSave->setEnabled(false);
    mode_.clear();
}

void FrmMBmanager::ButtnDel_Click()
{
    if (templateNo_ == 0) {
        MessageBox::critical(QStringLiteral("请选择你要删除的模板"), MessageBox::kSystemErrorTitle);
        return;
    }
    const QString question = QStringLiteral("你将删除自动编号为 ") + QString::number(templateNo_)
                             + QStringLiteral(" 的模板,删除后将不能恢复.请确认是否删除?");
    const qint64 key = templateNo_;
    if (!DictionaryWindow::ConfirmAndDelete(this, question, [key] { return TemplateStore::Delete(key); }))
        return;
    if (MSHFlexGrid1->removeDeletedRow()) {
        enableWithRight(ButtnNew);
        for (QvButton* b : {ButtnUpdate, ButtnDel, ButtnLoad, ButtnSave})
            b->setEnabled(false);
        setReadOnlyLook();
        clearFields();
        templateNo_ = 0;
    } else {
        MSHFlexGrid1_SelChange();
    }
    mode_.clear();
}

void FrmMBmanager::ButtnQuit_Click()
{
    OpenStatus(QString());
    reject();
}

// ---------------------------------------------------------------------------
// Load: the template is added to what the report already holds, each field by
// the same rule: an empty field takes the template's text, any other keeps its
// text and gets the separator and the template's text after it.

void FrmMBmanager::ButtnLoad_Click()
{
    if (templateNo_ == 0) {
        MessageBox::critical(QStringLiteral("没有符合条件的数据记录"), MessageBox::kErrorTitle);
        return;
    }
    DataRecord& ed = DataRecord::instance();
    if (!ed.isLoaded() || !ed.editing()) {
        MessageBox::information(QStringLiteral("请在可编辑状态载入模板"), MessageBox::kNoticeTitle);
        return;
    }
    auto append = [&ed](int field, const QString& text, const QString& separator) {
        const QString old = ed.controlText(field);
        ed.setControlText(field, old.isEmpty() ? text : old + separator + text);
    };
    append(ReportRecord::part, Combopart->currentText(), QStringLiteral(","));
    append(ReportRecord::checkname, Text1->text(), QStringLiteral(","));
    append(ReportRecord::checksymptom, Text2->toPlainText(), QStringLiteral("\n\n"));
    append(ReportRecord::checkconclusion, Text3->toPlainText(), QStringLiteral("\n"));
    accept();
}
