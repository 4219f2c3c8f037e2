// The editor's entry aids: Enter walks the record's fields, the exam number
// and the patient name are checked against earlier reports, the section lists
// its physicians, body parts add up; the phrase panel offers phrases for the
// character before the caret; the side panel's tabs with symbols and stock
// descriptions; the template buttons.
#include "editor/DataRecord.h"
#include "editor/Frmcfsj.h"
#include "editor/PhraseLookup.h"
#include "editor/StockDescriptions.h"

#include "core/Database.h"
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/ReportStore.h"
#include "core/SkinWindows.h"
#include "core/TypedText.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTextCursor>
#include <QTreeWidget>

using namespace EditorGeometry;

namespace {
constexpr int kEnter = 13;

bool isEnter(const QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(e)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Replaces a range of a report box's text, as one step the user can undo,
// and puts the caret after it. The guard tells the lookup that the change is
// the program's (the caret is not the user's yet).
void putText(QPlainTextEdit* box, const PhraseLookup::Insertion& at, const QString& text, bool& guard)
{
    QTextCursor c = box->textCursor();
    c.setPosition(at.from);
    c.setPosition(at.to, QTextCursor::KeepAnchor);
    guard = true;
    c.insertText(text);
    guard = false;
    c.setPosition(at.caret);
    box->setTextCursor(c);
}

// A text's width and height as the phrase panel measures it, in twips.
QSize measureTwips(const QFontMetrics& fm, const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    int w = 0;
    for (const QString& line : lines)
        w = qMax(w, fm.horizontalAdvance(line));
    return QSize(w * kTwipsPerPixel, fm.height() * int(lines.size()) * kTwipsPerPixel);
}

// The duplicate check on Enter in the exam number or the patient name: the
// earlier reports with the same value, or on to the next field.
void checkDuplicates(DataRecord& ed, Frmcfsj::By by, const QString& value)
{
    const int field = by == Frmcfsj::By::ExamNumber ? ReportRecord::obligate5 : ReportRecord::brname;
    const QueryResult r = ReportStore::CountWith(field, value);
    if (!r.hasRows())
        return;   // silent, as the check has always been
    if (r.data->value(0, 0).toLongLong() > 0) {
        Frmcfsj& related = Frmcfsj::instance();
        related.setSql(by, value);
        related.showModally();   // the focus stays in the field
        return;
    }
    ed.NextField_KeyPress(kEnter);
}
}

void DataRecord::buildAids()
{
    bodyPartMemory_.clear();
    phraseTopTw_ = 0;
    phraseHeightTw_ = Piczymc->height() * kTwipsPerPixel;

    // The tab order: down the information column, from the result to
    // the body part, then findings and diagnosis; the exam name comes last.
    const QList<QWidget*> order = {Text1,  Text2,  Text3,  Text4,   ComboAge,  Text5,  Text6,
                                   Text7,  Text17, Text8,  Text18,  Text9,     Text10, Text12,
                                   Text11, Text13, Text19, Combojs, Combopart, Text15, Text16};
    for (int i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    if (QWidget* last = previousInFocusChain(); last && last != Text14)
        QWidget::setTabOrder(last, Text14);

    for (QWidget* w : QList<QWidget*>{Text1, Text2, Text15, Text16, Labelzych[0]})
        w->installEventFilter(this);
    for (QWidget* w : QList<QWidget*>{Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13,
                                      Text17, Text18, Text19, ComboAge, Combopart, Combojs}) {
        w->setProperty("ws_nextField", true);   // Text3_KeyPress .. Combojs_KeyPress
        w->installEventFilter(this);
    }

    // A combo's Change is typing (textEdited) or a program's setControlText;
    // its Click is a choice from the list.
    connect(Text6, &QComboBox::activated, this, &DataRecord::Text6_Click);
    connect(Text6->lineEdit(), &QLineEdit::textEdited, this, &DataRecord::Text6_Change);
    connect(Combopart, &QComboBox::activated, this, &DataRecord::Combopart_Click);
    connect(Combopart->lineEdit(), &QLineEdit::textEdited, this, &DataRecord::Combopart_Change);

    // Tab in the findings and the diagnosis goes on to the next field; the
    // report texts hold no tab characters typed by accident.
    Text15->setTabChangesFocus(true);
    Text16->setTabChangesFocus(true);
    connect(Text15, &QPlainTextEdit::textChanged, this, &DataRecord::Text15_Change);
    connect(Text16, &QPlainTextEdit::textChanged, this, &DataRecord::Text16_Change);
    butnCKup->hide();
    butnCKdown->hide();
    connect(butnCKup, &QAbstractButton::clicked, this, &DataRecord::butnCKup_Click);
    connect(butnCKdown, &QAbstractButton::clicked, this, &DataRecord::butnCKdown_Click);

    connect(btnCK, &QAbstractButton::clicked, this, &DataRecord::btnCK_Click);
    connect(btnFH, &QAbstractButton::clicked, this, &DataRecord::btnFH_Click);
    connect(btnMS, &QAbstractButton::clicked, this, &DataRecord::btnMS_Click);
    connect(btnTS[0], &QAbstractButton::clicked, this, [this] { btnTS_Click(0); });
    connect(ButtnSwmb, &QAbstractButton::clicked, this, &DataRecord::ButtnSwmb_Click);

    // The stock descriptions: a tree of editable category names, a grid
    // edited only through its own cell editor.
    TreeMS->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    connect(TreeMS, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { TreeMS_NodeClick(node); });
    connect(TreeMS, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) { TreeMS_AfterLabelEdit(node); });
    Gridms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Gridms->setSelectionMode(QAbstractItemView::SingleSelection);
    Gridms->setFrameShape(QFrame::NoFrame);
    Gridms->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    Gridms->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    Gridms->setWordWrap(false);
    connect(Gridms, &QTableWidget::cellClicked, this, [this] { Gridms_Click(); });
    connect(Gridms, &QTableWidget::cellDoubleClicked, this, [this] { Gridms_DblClick(); });
    Textedit = new QLineEdit(Picms);
    Textedit->hide();
    Textedit->installEventFilter(this);
    connect(Picms, &PaintPanel::Resize, this, &DataRecord::Picms_Resize);
}

bool DataRecord::aidsEvent(QObject* watched, QEvent* e)
{
    if (isEnter(e)) {
        // In the record's fields Enter only moves on: a combo box that saw
        // the key would take its completion or the matching list entry and
        // report it as chosen, replacing the value shown (the body part's
        // choice appends the part once more).
        if (watched == Text1) {
            Text1_KeyPress(kEnter);
            return true;
        }
        if (watched == Text2) {
            Text2_KeyPress(kEnter);
            return true;
        }
        if (watched->property("ws_nextField").toBool()) {
            NextField_KeyPress(kEnter);
            return true;
        }
        // The stock-description grid and its cell editor keep the key.
        if (watched == Gridms)
            Gridms_KeyPress(kEnter);
        else if (watched == Textedit)
            Textedit_KeyPress(kEnter);
        return false;
    }
    if (e->type() == QEvent::FocusIn) {
        if (watched == Text15)
            Text15_GotFocus();
        else if (watched == Text16)
            Text16_GotFocus();
        return false;
    }
    if (e->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(e);
        auto* label = qobject_cast<QLabel*>(watched);
        const int index = label ? int(Labelzych.indexOf(label)) : -1;
        if (index >= 0 && me->button() == Qt::LeftButton && label->rect().contains(me->position().toPoint()))
            Labelzych_Click(index);
    }
    return false;
}

// ---- Enter, duplicate checks, physicians, body parts ----

void DataRecord::NextField_KeyPress(int keyAscii)
{
    // The next field takes the focus once the Enter itself has been handled.
    if (keyAscii == kEnter)
        QMetaObject::invokeMethod(
            this, [this] { focusNextChild(); }, Qt::QueuedConnection);
}

void DataRecord::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == kEnter)
        checkDuplicates(*this, Frmcfsj::By::ExamNumber, Text1->text());
}

void DataRecord::Text2_KeyPress(int keyAscii)
{
    if (keyAscii == kEnter)
        checkDuplicates(*this, Frmcfsj::By::PatientName, Text2->text());
}

void DataRecord::physicians(const QueryResult& r)
{
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    // Only the list changes: a physician already typed or chosen stays.
    const QString typed = Text7->currentText();
    Text7->clear();
    if (r.hasRows())
        for (int i = 0; i < r.data->recordCount(); ++i)
            Text7->addItem(r.data->text(i, 1));
    Text7->setEditText(typed);
}

void DataRecord::Text6_Click(int index)
{
    // The section's number as the list keeps it, in plain decimal.
    const QString key = QString::number(Text6->itemData(index).toInt());
    physicians(ReportStore::DoctorsOf(key));
}

void DataRecord::Text6_Change() { physicians(ReportStore::Choices(ReportStore::Choice::Doctors)); }

void DataRecord::Combopart_Click(int index)
{
    const QString part = Combopart->itemText(index);
    Combopart->setEditText(bodyPartMemory_.isEmpty() ? part : bodyPartMemory_ + QLatin1Char(',') + part);
    bodyPartMemory_ = Combopart->currentText();
}

void DataRecord::Combopart_Change() { bodyPartMemory_ = Combopart->currentText(); }

// ---- the phrase panel ----

void DataRecord::Text15_GotFocus() { lastReportBox_ = QStringLiteral("Text15"); }
void DataRecord::Text16_GotFocus() { lastReportBox_ = QStringLiteral("Text16"); }
void DataRecord::Text15_Change() { lookUpPhrases(Text15); }
void DataRecord::Text16_Change() { lookUpPhrases(Text16); }

void DataRecord::addPhraseLabels(int count)
{
    while (Labelzych.size() < count) {
        auto* l = new QLabel(Piczymc);
        l->setGeometry(Labelzych[0]->geometry());
        l->setAttribute(Qt::WA_TranslucentBackground);
        l->installEventFilter(this);
        nameElement(l, QStringLiteral("Labelzych"), int(Labelzych.size()));
        Labelzych.append(l);
        setPhraseCaption(int(Labelzych.size()) - 1, QString());
    }
    phraseLabelCount_ = int(Labelzych.size());
}

void DataRecord::setPhraseCaption(int k, const QString& caption)
{
    // A label without a phrase stays where it was and would lie over the
    // phrases laid out since, taking their clicks: it is shown only with a
    // phrase.
    QLabel* l = Labelzych[k];
    l->setText(caption);
    l->setVisible(!caption.isEmpty());
}

void DataRecord::setPhrasePanel(int topTw, int heightTw)
{
    phraseTopTw_ = topTw;
    phraseHeightTw_ = heightTw;
    Piczymc->setGeometry(Piczymc->x(), px(topTw), Piczymc->width(), px(heightTw));
}

void DataRecord::lookUpPhrases(QPlainTextEdit* box)
{
    const QString text = box->toPlainText();
    if (text.isEmpty()) {
        setPhrasePanel(phraseTopTw_, 0);
        return;
    }
    // A disabled box is being filled by a program; so is a box whose text is
    // being set by an insertion, whose caret is not placed yet.
    if (!box->isEnabled() || settingBoxText_)
        return;
    const int p = box->textCursor().selectionStart();
    if (p == 0)
        return;
    phraseInserted_ = false;
    for (int k = 0; k < Labelzych.size(); ++k)
        setPhraseCaption(k, QString());
    phraseFilled_ = 0;
    const QueryResult r = PhraseLookup::Find(PhraseLookup::KeyBefore(text, p));
    if (!r.hasRows()) {
        setPhrasePanel(phraseTopTw_, 0);
        return;
    }
    const int n = r.data->recordCount();
    const int needed = PhraseLookup::LabelsNeeded(n);
    if (needed > phraseLabelCount_)
        addPhraseLabels(needed);
    QStringList captions;
    for (int k = 0; k < n; ++k) {
        captions.append(r.data->text(k, 1));
        setPhraseCaption(k, captions.last());
    }
    phraseFilled_ = n;
    const QFontMetrics fm(Piczymc->font());
    const PhraseLookup::Flow flow = PhraseLookup::LayOut(captions, Piczymc->width() * kTwipsPerPixel,
                                                         [&fm](const QString& s) { return measureTwips(fm, s); });
    for (int k = 0; k < n; ++k) {
        Labelzych[k]->move(px(flow.positions[k].x()), px(flow.positions[k].y()));
        Labelzych[k]->adjustSize();
    }
    const bool scroll = flow.height > Picmc->height() * kTwipsPerPixel;
    butnCKup->setVisible(scroll);
    butnCKdown->setVisible(scroll);
    setPhrasePanel(0, flow.height);
}

void DataRecord::Labelzych_Click(int index)
{
    QPlainTextEdit* box = lastReportBox_ == QLatin1String("Text15")   ? Text15
                          : lastReportBox_ == QLatin1String("Text16") ? Text16
                                                                      : nullptr;
    // A box shown read-only takes nothing.
    if (box && box->isEnabled() && index >= 0 && index < Labelzych.size()) {
        box->setFocus();
        const QString text = box->toPlainText();
        const QTextCursor c = box->textCursor();
        const int p = c.selectionStart();
        const QString phrase = Labelzych[index]->text();
        // The first phrase after a lookup takes the place of the key typed.
        const int drop = phraseInserted_ ? 0 : int(PhraseLookup::KeyBefore(text, p).size());
        putText(box, PhraseLookup::Insert(int(text.size()), p, c.selectionEnd() - p, int(phrase.size()), drop), phrase,
                settingBoxText_);
    }
    phraseInserted_ = true;
}

void DataRecord::butnCKdown_Click()
{
    if (-phraseTopTw_ < phraseHeightTw_)
        setPhrasePanel(phraseTopTw_ - 250, phraseHeightTw_);
}

void DataRecord::butnCKup_Click()
{
    if (-phraseTopTw_ >= 250)
        setPhrasePanel(phraseTopTw_ + 250, phraseHeightTw_);
}

// ---- side-panel tabs ----

void DataRecord::colourSideTabs(QvButton* pressed)
{
    Skin::SetTabButtonColors(pressed, true);
    for (QvButton* b : {btnMS, btnFH, btnCK, btnYC})
        if (b != pressed)
            Skin::SetTabButtonColors(b, false);
}

void DataRecord::btnCK_Click()
{
    HideCellEditor();
    Piczymc->setVisible(true);
    Picts->setVisible(false);
    Picms->setVisible(false);
    sidePanelTab_ = 0;
    Picyc->setVisible(false);
    colourSideTabs(btnCK);
}

void DataRecord::btnFH_Click()
{
    HideCellEditor();
    Piczymc->setVisible(false);
    Picts->setVisible(true);
    Picms->setVisible(false);
    sidePanelTab_ = 1;
    Picyc->setVisible(false);
    colourSideTabs(btnFH);
}

void DataRecord::btnMS_Click()
{
    Piczymc->setVisible(false);
    Picts->setVisible(false);
    Picms->setVisible(true);
    sidePanelTab_ = 2;
    Picyc->setVisible(false);
    colourSideTabs(btnMS);
}

// ---- symbols and stock descriptions ----

void DataRecord::insertAtCaret(const QString& text)
{
    if (!Text14->isEnabled())
        return;
    QPlainTextEdit* box = lastReportBox_ == QLatin1String("Text15")   ? Text15
                          : lastReportBox_ == QLatin1String("Text16") ? Text16
                                                                      : nullptr;
    if (!box)
        return;
    box->setFocus();
    const QTextCursor c = box->textCursor();
    const int p = c.selectionStart();
    putText(box, PhraseLookup::Insert(int(box->toPlainText().size()), p, c.selectionEnd() - p, int(text.size())), text,
            settingBoxText_);
}

void DataRecord::btnTS_Click(int index)
{
    if (index >= 0 && index < btnTS.size())
        insertAtCaret(btnTS[index]->text());
}

void DataRecord::loadDescriptionTree()
{
    const QSignalBlocker quiet(TreeMS);
    TreeMS->clear();
    for (int k = 1; k <= 8; ++k) {
        auto* node = new QTreeWidgetItem(TreeMS);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        node->setData(0, Qt::UserRole, IniKey::DescriptionName(k).key);
        node->setText(0, Modini::GetIniValue(IniKey::DescriptionName(k)));
    }
}

void DataRecord::TreeMS_NodeClick(QTreeWidgetItem* node)
{
    const int index = TreeMS->indexOfTopLevelItem(node) + 1;
    if (index < 1)
        return;
    HideCellEditor();
    category_ = index;
    LoadPhraseGrid(category_);
}

void DataRecord::TreeMS_AfterLabelEdit(QTreeWidgetItem* node)
{
    const int index = TreeMS->indexOfTopLevelItem(node) + 1;
    if (index < 1)
        return;
    // A name the settings file could not hold whole goes back to the one kept.
    if (const auto refused = TypedText::FirstRefused(node->text(0), TypedText::Kind::OneLine)) {
        MessageBox::critical(TypedText::RefusedText(QStringLiteral("描述分类名称"), refused->character),
                             MessageBox::kErrorTitle);
        const QSignalBlocker quiet(TreeMS);
        node->setText(0, Modini::GetIniValue(IniKey::DescriptionName(index)));
        return;
    }
    if (!Modini::RememberIniValue(IniKey::DescriptionName(index), node->text(0), this))
        Modini::TellNotSaved(this);
}

void DataRecord::SetupPhraseGrid()
{
    stockGrid_ = StockDescriptions::Geometry(layoutMode_, Environment::screenSizePixels(), panels_.Picdata.width(),
                                             panels_.RptPictureBox.width(), Gridms->x() * kTwipsPerPixel);
    Gridms->clear();
    Gridms->setColumnCount(int(stockGrid_.colWidths.size()));
    Gridms->setRowCount(int(stockGrid_.rowHeights.size()));
    for (int i = 0; i < stockGrid_.colWidths.size(); ++i)
        Gridms->setColumnWidth(i, px(stockGrid_.colWidths[i]));
    for (int j = 0; j < stockGrid_.rowHeights.size(); ++j)
        Gridms->setRowHeight(j, px(stockGrid_.rowHeights[j]));
    Picms_Resize();
}

QString DataRecord::TextMatrix(int row, int col) const
{
    const QTableWidgetItem* item = Gridms->item(row, col);
    return item ? item->text() : QString();
}

void DataRecord::setTextMatrix(int row, int col, const QString& text)
{
    if (QTableWidgetItem* item = Gridms->item(row, col))
        item->setText(text);
    else
        Gridms->setItem(row, col, new QTableWidgetItem(text));
}

void DataRecord::LoadPhraseGrid(int category)
{
    // The grid shows the category's own cells only.
    Gridms->clearContents();
    const QueryResult r = StockDescriptions::Load(category);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return;
    }
    if (!r.hasRows())
        return;
    for (int i = 0; i < r.data->recordCount(); ++i) {
        bool rowOk = false, colOk = false;
        const int row = r.data->value(i, 1).toInt(&rowOk);
        const int col = r.data->value(i, 2).toInt(&colOk);
        if (rowOk && colOk && row >= 0 && col >= 0 && row < Gridms->rowCount() && col < Gridms->columnCount())
            setTextMatrix(row, col, r.data->text(i, 3));
    }
}

void DataRecord::Gridms_KeyPress(int keyAscii)
{
    if (keyAscii != kEnter)
        return;
    HideCellEditor();
    const int row = Gridms->currentRow();
    const int col = Gridms->currentColumn();
    if (row < 0 || col < 0)
        return;
    const int topRow = qMax(0, Gridms->rowAt(0));
    const int leftCol = qMax(0, Gridms->columnAt(0));
    const auto place = StockDescriptions::PlaceEditor(stockGrid_, topRow, leftCol, row, col,
                                                      Gridms->x() * kTwipsPerPixel, Gridms->height() * kTwipsPerPixel);
    Textedit->resize(px(place.width), px(place.height));
    if (!place.open)
        return;
    if (place.scroll)
        Gridms->verticalScrollBar()->setValue(Gridms->verticalScrollBar()->value() + 1);
    Textedit->move(px(place.left), px(place.top));
    Textedit->show();
    Textedit->raise();
    Textedit->setText(TextMatrix(row, col));
    editRow_ = row;
    editCol_ = col;
    Textedit->setFocus();
    Textedit->selectAll();
}

void DataRecord::Gridms_Click() { HideCellEditor(); }

void DataRecord::Gridms_DblClick()
{
    HideCellEditor();
    insertAtCaret(TextMatrix(Gridms->currentRow(), Gridms->currentColumn()));
}

void DataRecord::Textedit_KeyPress(int keyAscii)
{
    if (keyAscii == kEnter)
        SavePhraseCell();
}

void DataRecord::SavePhraseCell()
{
    if (Textedit->isHidden())
        return;
    const QString typed = Textedit->text();
    // Refused like a field of the report it goes into; the editor stays open with the text.
    if (const auto refused = TypedText::FirstRefused(typed, TypedText::Kind::OneLine)) {
        MessageBox::critical(TypedText::RefusedText(QStringLiteral("常用描述"), refused->character),
                             MessageBox::kErrorTitle);
        Textedit->setFocus();
        Textedit->setSelection(int(refused->at), 1);
        return;
    }
    if (TextMatrix(editRow_, editCol_) != typed) {
        // The cell shows the new text once it is stored; a failure keeps the
        // editor open with the text, so Enter tries again.
        const QueryResult r = StockDescriptions::Save(category_, editRow_, editCol_, typed);
        if (!r.ok()) {
            MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
            return;
        }
        setTextMatrix(editRow_, editCol_, typed);
    }
    Textedit->hide();
    Gridms->setFocus();
}

void DataRecord::HideCellEditor()
{
    if (!Textedit->isHidden())
        Textedit->hide();
}

void DataRecord::Picms_Resize()
{
    Gridms->setGeometry(Gridms->x(), 0, qMax(0, Picms->width() - Gridms->x()), Picms->height());
    TreeMS->resize(TreeMS->width(), Picms->height());
    // The line between the tree and the grid, in the colour of inactive borders.
    const int x = px(Gridms->x() * kTwipsPerPixel - 10);
    const QColor colour = palette().color(QPalette::Inactive, QPalette::Mid);
    Picms->setDrawing(QStringLiteral("separator"), [x, colour](QPainter& p, const QSize& s, const QFont&) {
        p.setPen(colour);
        p.drawLine(x, 0, x, px(s.height() * kTwipsPerPixel - 10));
    });
}

// ---- template buttons ----

void DataRecord::Buttnmbzr_Click()
{
    if (!Text1->isEnabled()) {
        MessageBox::information(QStringLiteral("请在可编辑状态载入模板"), MessageBox::kNoticeTitle);
        return;
    }
    Buttninfo_Click();
    Openers::open(Openers::Window::FrmMBmanager, Openers::How::Load);
}

void DataRecord::ButtnSwmb_Click()
{
    Buttninfo_Click();
    Openers::open(Openers::Window::FrmMBmanager, Openers::How::Insert);
}
