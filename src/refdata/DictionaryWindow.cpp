#include "refdata/DictionaryWindow.h"

#include "core/Database.h"
#include "core/MenuSkin.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/TypedText.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/Units.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <cmath>
#include <limits>

namespace {
// The tool bar's 32 x 32 pictures, by the button's key letter.
QIcon toolIcon(Qt::Key key)
{
    QStyle::StandardPixmap sp = QStyle::SP_DialogCloseButton;
    switch (key) {
    case Qt::Key_N: sp = QStyle::SP_FileIcon; break;
    case Qt::Key_F: sp = QStyle::SP_FileDialogDetailedView; break;
    case Qt::Key_D: sp = QStyle::SP_TrashIcon; break;
    case Qt::Key_S: sp = QStyle::SP_DialogSaveButton; break;
    default: break;
    }
    return QApplication::style()->standardIcon(sp);
}
}

DictionaryWindow::DictionaryWindow(Design design) : QDialog(nullptr), design_(std::move(design))
{
    setWindowTitle(design_.caption);
    // The windows' fixed client area of 8115 x 5235 twips.
    setFixedSize(twips(0, 0, 8115, 5235).size());
}

DictionaryWindow::~DictionaryWindow() = default;

QRect DictionaryWindow::twips(int left, int top, int width, int height)
{
    return Units::pxRect(left, top, width, height);
}

QLineEdit* DictionaryWindow::addLineEdit(QWidget* parent, const QRect& geometry, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    // A long text pasted in is kept whole, not cut at the box's usual limit.
    e->setMaxLength(std::numeric_limits<int>::max());
    return e;
}

QLabel* DictionaryWindow::addLabel(QWidget* parent, const QString& caption, int leftTw, int topTw, const char* name)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(twips(leftTw, topTw, 0, 0).topLeft());
    l->adjustSize();
    return l;
}

// ---------------------------------------------------------------------------
// Opening and closing.

void DictionaryWindow::ensureLoaded()
{
    if (loaded_)
        return;
    // Nothing pending and no row current at an opening.
    mode_.clear();
    key_ = noKey();
    buildControls();
    loaded_ = true;
    Form_Load();
}

int DictionaryWindow::showModally()
{
    ensureLoaded();
    return Opener::showModal(this);
}

void DictionaryWindow::buildControls()
{
    delete form_;
    bound_.clear();
    inputs_.clear();
    form_ = new QWidget(this);
    form_->setGeometry(rect());

    const bool full = design_.newAndDelete;
    Pictool = new PaintPanel(form_);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(twips(0, 0, full ? 8115 : 8085, 1020));
    auto button = [this](const char* name, const char* caption, const char* hint, Qt::Key key, int left) {
        auto* b = new QvButton(QString::fromUtf8(caption), Pictool);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(toolIcon(key));
        b->setIconSize(QSize(32, 32));
        b->setToolTip(QString::fromUtf8(hint));
        b->setShortcut(QKeySequence(Qt::ALT | key));
        b->setGeometry(twips(left, 60, 870, 870));
        return b;
    };
    if (full) {
        ButtnNew = button("ButtnNew", "新 建", "新建(N)", Qt::Key_N, 120);
        ButtnUpdate = button("ButtnUpdate", "修 改", "修改(F)", Qt::Key_F, 1005);
        ButtnDel = button("ButtnDel", "删 除", "删除(D)", Qt::Key_D, 1890);
        ButtnSave = button("ButtnSave", "保 存", "保存(S)", Qt::Key_S, 2775);
        ButtnQuit = button("ButtnQuit", "退 出", "退出(Q)", Qt::Key_Q, 7200);
    } else {
        ButtnNew = ButtnDel = nullptr;
        ButtnUpdate = button("ButtnUpdate", "修 改", "修改(F)", Qt::Key_F, 120);
        ButtnSave = button("ButtnSave", "保 存", "保存(S)", Qt::Key_S, 1005);
        ButtnQuit = button("ButtnQuit", "退 出", "退出(Q)", Qt::Key_Q, 7080);
    }
    if (ButtnNew)
        connect(ButtnNew, &QvButton::clicked, this, &DictionaryWindow::ButtnNew_Click);
    if (ButtnDel)
        connect(ButtnDel, &QvButton::clicked, this, &DictionaryWindow::ButtnDel_Click);
    connect(ButtnUpdate, &QvButton::clicked, this, &DictionaryWindow::ButtnUpdate_Click);
    connect(ButtnSave, &QvButton::clicked, this, &DictionaryWindow::ButtnSave_Click);
    connect(ButtnQuit, &QvButton::clicked, this, &DictionaryWindow::ButtnQuit_Click);

    MSHFlexGrid1 = new DictGrid(form_);
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    MSHFlexGrid1->setGeometry(twips(60, 1080, 3975, full ? 4060 : 4065));
    connect(MSHFlexGrid1, &DictGrid::SelChange, this, &DictionaryWindow::MSHFlexGrid1_SelChange);
    connect(MSHFlexGrid1, &DictGrid::MouseUp, this, &DictionaryWindow::MSHFlexGrid1_MouseUp);

    Picdata = new PaintPanel(form_);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(twips(4080, 1080, 3975, 4060));
    buildInputs(Picdata);
    lockInputs(true);
    form_->show();
}

void DictionaryWindow::Form_Load()
{
    applySkin();
    LoadGrid();
    gMenuSkin.AttachForm(this);
    loadExtras();
}

void DictionaryWindow::Form_Unload() { gMenuSkin.DetachForm(this); }

void DictionaryWindow::applySkin()
{
    Skin::ApplySkin(this, Pictool, Picdata, {ButtnNew, ButtnUpdate, ButtnSave, ButtnDel, ButtnQuit});
}

void DictionaryWindow::done(int r)
{
    QDialog::done(r);
    // A pending edit is dropped; the next opening loads the window again.
    if (loaded_) {
        Form_Unload();
        loaded_ = false;
    }
}

void DictionaryWindow::keyPressEvent(QKeyEvent* e)
{
    // Esc does not close the window; Quit and the close box do.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

// ---------------------------------------------------------------------------
// Inputs.

void DictionaryWindow::bindColumn(int column, QWidget* input)
{
    bound_.append({column, input});
    addInput(input);
}

void DictionaryWindow::addInput(QWidget* input)
{
    if (!inputs_.contains(input))
        inputs_.append(input);
}

QVariant DictionaryWindow::textValue(const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); }

QString DictionaryWindow::inputText(const QWidget* input)
{
    if (auto* e = qobject_cast<const QLineEdit*>(input))
        return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(input))
        return c->currentText();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(input))
        return t->toPlainText();
    return {};
}

void DictionaryWindow::setInputText(QWidget* input, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(input)) {
        e->setText(text);
        e->setCursorPosition(0);   // a long text shows its beginning
    } else if (auto* c = qobject_cast<QComboBox*>(input))
        c->setEditText(text);
    else if (auto* t = qobject_cast<QPlainTextEdit*>(input))
        t->setPlainText(text);
}

void DictionaryWindow::showCells(int row)
{
    for (const auto& [column, input] : bound_)
        setInputText(input, MSHFlexGrid1->cell(row, column));
}

void DictionaryWindow::clearInputs(bool /*forNew*/)
{
    for (QWidget* w : inputs_) {
        if (auto* box = qobject_cast<QCheckBox*>(w))
            box->setChecked(false);
        else
            setInputText(w, QString());
    }
}

void DictionaryWindow::lockInputs(bool locked)
{
    for (QWidget* w : inputs_)
        w->setEnabled(!locked);
}

QWidget* DictionaryWindow::firstInput() const { return bound_.isEmpty() ? nullptr : bound_.first().second; }

QStringList DictionaryWindow::inputRowTexts() const
{
    QStringList texts;
    const int row = MSHFlexGrid1->endRow();
    for (int c = 0; c < MSHFlexGrid1->columnCount(); ++c)
        texts << (mode_ == QLatin1String("update") ? MSHFlexGrid1->cell(row, c) : QString());
    for (const auto& [column, input] : bound_)
        if (column >= 0 && column < texts.size())
            texts[column] = inputText(input);
    return texts;
}

void DictionaryWindow::notify(Notice kind, const QString& text) const
{
    if (kind == Notice::Information)
        MessageBox::information(text, MessageBox::kNoticeTitle);
    else
        MessageBox::critical(text, MessageBox::kErrorTitle);
}

bool DictionaryWindow::fail(QWidget* input, const QString& text, bool selectAll)
{
    return fail(input, text, selectAll, cycleNotice());
}

bool DictionaryWindow::fail(QWidget* input, const QString& text, bool selectAll, Notice kind)
{
    notify(kind, text);
    if (input) {
        input->setFocus();
        if (selectAll) {
            if (auto* e = qobject_cast<QLineEdit*>(input))
                e->selectAll();
            else if (auto* c = qobject_cast<QComboBox*>(input); c && c->lineEdit())
                c->lineEdit()->selectAll();
        }
    }
    return false;
}

QString DictionaryWindow::fieldName(const QWidget* input)
{
    // The label on the input's line, nearest to its left.
    const QLabel* best = nullptr;
    const QRect box = input->geometry();
    for (const QLabel* l : input->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = l->geometry();
        if (g.right() <= box.left() && g.bottom() >= box.top() && g.top() <= box.bottom()
            && (!best || g.right() > best->geometry().right()))
            best = l;
    }
    return best ? TypedText::FieldName(best->text()) : QString();
}

bool DictionaryWindow::typedTextsClean()
{
    // The texts the user can type and the save stores, in the order they were bound.
    for (const auto& [column, input] : bound_) {
        auto* free = qobject_cast<QPlainTextEdit*>(input);
        if ((!free && !qobject_cast<QLineEdit*>(input)) || !input->isEnabled())
            continue;
        const auto refused =
            TypedText::FirstRefused(inputText(input), free ? TypedText::Kind::Free : TypedText::Kind::OneLine);
        if (refused)
            return fail(input, TypedText::RefusedText(fieldName(input), refused->character), !free, Notice::Critical);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Keys and states.

QString DictionaryWindow::noKey() const { return design_.key == KeyKind::Number ? QStringLiteral("0") : QString(); }

bool DictionaryWindow::hasCurrentKey() const
{
    if (design_.key == KeyKind::Number)
        return key_.toLongLong() != 0;
    return !key_.isEmpty();
}

// The key a row gives: its column 0; a number window keeps its key when the
// cell is empty (the blank row of the empty look).
QString DictionaryWindow::keyOfRow(int row, const QString& unchanged) const
{
    const QString cell = MSHFlexGrid1->cell(row, 0);
    if (design_.key == KeyKind::Number && cell.isEmpty())
        return unchanged;
    return cell;
}

void DictionaryWindow::setButtons(State s)
{
    auto enable = [](QvButton* b, bool on) {
        if (b)
            b->setEnabled(on);
    };
    enable(ButtnNew, s != State::Editing);
    enable(ButtnUpdate, s == State::Browse);
    enable(ButtnDel, s == State::Browse);
    enable(ButtnSave, s == State::Editing);
}

// ---------------------------------------------------------------------------
// The grid loader and the row display.

void DictionaryWindow::LoadGrid()
{
    DictGrid* g = MSHFlexGrid1;
    g->setColumns(gridColumns());
    setButtons(State::Empty);

    const QueryResult r = Database::QueryData(listingSql());
    if (r.failed())
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
    if (!r.ok() || !r.data || r.data->recordCount() == 0)
        return;

    const RecordSet& rs = *r.data;
    g->setFilledLook();
    setButtons(State::Browse);
    for (int i = 0; i < rs.recordCount(); ++i) {
        QStringList texts;
        for (int c = 0; c < g->columnCount(); ++c)
            texts << rs.text(i, c);
        const int row = i == 0 ? 0 : g->appendRow(texts);
        if (i == 0)
            g->setRowTexts(0, texts);
        g->setRowData(row, listedRowData(rs, i));
    }
    listedRow(rs, 0);
    g->selectWholeRow(0);
    key_ = keyOfRow(0, key_);
}

void DictionaryWindow::listedRow(const RecordSet& /*rows*/, int row) { showCells(row); }

bool DictionaryWindow::showRow(int row)
{
    showCells(row);
    return true;
}

void DictionaryWindow::MSHFlexGrid1_SelChange()
{
    const int row = MSHFlexGrid1->endRow();
    if (row < 0)
        return;
    key_ = keyOfRow(row, key_);
    if (!showRow(row))
        return;
    lockInputs(true);
    setButtons(State::Browse);
    mode_.clear();
}

void DictionaryWindow::MSHFlexGrid1_MouseUp()
{
    // Only one row is ever selected, across all columns.
    if (MSHFlexGrid1->hasRows())
        MSHFlexGrid1->selectWholeRow(MSHFlexGrid1->endRow());
}

// ---------------------------------------------------------------------------
// The commands.

void DictionaryWindow::ButtnNew_Click()
{
    clearInputs(true);
    lockInputs(false);
    if (QWidget* w = firstInput())
        w->setFocus();
    setButtons(State::Editing);
    mode_ = QStringLiteral("insert");
}

void DictionaryWindow::ButtnUpdate_Click()
{
    if (!hasCurrentKey()) {
        notify(cycleNotice(), QStringLiteral("没有符合条件的数据记录"));
        return;
    }
    if (refuseUpdate())
        return;
    const int row = MSHFlexGrid1->endRow();
    lockInputs(false);
    showCells(row);
    if (QWidget* w = firstInput()) {
        w->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->selectAll();
        else if (auto* c = qobject_cast<QComboBox*>(w); c && c->lineEdit())
            c->lineEdit()->selectAll();
    }
    setButtons(State::Editing);
    key_ = design_.key == KeyKind::Number ? keyOfRow(row, noKey()) : MSHFlexGrid1->cell(row, 0);
    mode_ = QStringLiteral("update");
}

void DictionaryWindow::ButtnSave_Click()
{
    if (mode_.isEmpty()) {
        notify(cycleNotice(), QStringLiteral("数据已经保存"));
        return;
    }
    if (!checkInputs() || !typedTextsClean())
        return;
    const bool insert = mode_ == QLatin1String("insert");
    const Statement st = insert ? insertStatement() : updateStatement(key_);
    const QueryResult r = Database::ExecuteSql(st.sql, st.params);
    if (!r.ok()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    // A row gone since it was listed (another program deleted it) is no save:
    // the list keeps what is stored, the inputs what was typed.
    if (!insert && Database::ChangedRows() == 0) {
        MessageBox::critical(QStringLiteral("没有符合条件的数据记录"), MessageBox::kErrorTitle);
        return;
    }

    DictGrid* g = MSHFlexGrid1;
    QStringList texts = inputRowTexts();
    if (insert) {
        // The new row's number is the one the database gave it.
        if (design_.key == KeyKind::Number && !texts.isEmpty())
            texts[0] = QString::number(Database::LastInsertId());
        int row = 0;
        if (g->hasRows()) {
            row = g->appendRow(texts);
        } else {
            g->setRowTexts(0, texts);
            g->setFilledLook();
        }
        g->setRowData(row, inputRowData());
        g->selectWholeRow(g->rows() - 1);
    } else {
        const int row = g->endRow();
        g->setRowTexts(row, texts);
        g->setRowData(row, inputRowData());
    }
    lockInputs(true);
    setButtons(State::Browse);
    key_ = keyOfRow(g->endRow(), noKey());
    mode_.clear();
}

bool DictionaryWindow::ConfirmAndDelete(QWidget* parent, const QString& question,
                                        const std::function<QueryResult()>& deleteRows)
{
    if (MessageBox::show(question, MessageBox::kNoticeTitle, MessageBox::Icon::None, MessageBox::Buttons::OkCancel,
                         parent)
        == MessageBox::Answer::Cancel)
        return false;
    const QueryResult r = deleteRows();
    if (!r.ok()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return false;
    }
    return true;
}

void DictionaryWindow::ButtnDel_Click()
{
    if (!hasCurrentKey()) {
        MessageBox::critical(deleteNoKeyMessage(), MessageBox::kSystemErrorTitle);
        return;
    }
    if (refuseDelete())
        return;
    const Statement st = deleteStatement(key_);
    if (!ConfirmAndDelete(this, deleteQuestion(key_), [&st] { return Database::ExecuteSql(st.sql, st.params); }))
        return;
    if (MSHFlexGrid1->removeDeletedRow()) {
        clearInputs(false);
        lockInputs(true);
        setButtons(State::Empty);
        key_ = noKey();
    } else {
        MSHFlexGrid1_SelChange();
    }
    mode_.clear();
}

void DictionaryWindow::ButtnQuit_Click() { reject(); }
