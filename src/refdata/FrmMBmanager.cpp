// The template window itself: its controls, its load, the tree of parts and
// categories, the list of a node's templates and the display of one template.
// The buttons and the exchange with the editor are in FrmMBmanagerEdit.cpp.
#include "refdata/FrmMBmanager.h"

#include "core/ItemCaptions.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "core/MenuSkin.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/Units.h"
#include "refdata/DictGrid.h"
#include "refdata/PickCombo.h"
#include "refdata/TemplateStore.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTreeWidget>
#include <cmath>
#include <limits>

namespace {
// The window's client area and its parts, in twips.
constexpr int kWidth = 12030, kHeight = 7920;
constexpr int kTopRow = 1080;
constexpr int kListLeft = 3120, kListWidth = 8850, kListHeight = 2580;
constexpr int kDataTop = kTopRow + kListHeight + 60;

// Tree node keys: "ro" + partid for a part, "xu" + assortid for a category.
const QString kPartKey = QStringLiteral("ro");
const QString kAssortKey = QStringLiteral("xu");

QIcon buttonIcon(QStyle::StandardPixmap sp) { return QApplication::style()->standardIcon(sp); }
}

FrmMBmanager& FrmMBmanager::instance()
{
    static FrmMBmanager* window = new FrmMBmanager();
    return *window;
}

FrmMBmanager::FrmMBmanager() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("模板管理"));
    setFixedSize(Units::pxRect(0, 0, kWidth, kHeight).size());
}

// ---------------------------------------------------------------------------
// Opening and closing.

void FrmMBmanager::ensureLoaded()
{
    if (loaded_)
        return;
    // Nothing pending and no template shown until an opener or a click says so.
    mode_.clear();
    templateNo_ = 0;
    buildControls();
    loaded_ = true;
    Form_Load();
}

int FrmMBmanager::showModally()
{
    ensureLoaded();
    return Opener::showModal(this);
}

void FrmMBmanager::done(int r)
{
    QDialog::done(r);
    // A pending insert or update is dropped; the next opening loads again.
    if (loaded_) {
        Form_Unload();
        loaded_ = false;
    }
}

void FrmMBmanager::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    Form_Activate();
}

void FrmMBmanager::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FrmMBmanager::keyPressEvent(QKeyEvent* e)
{
    // Esc does not close the window; Quit and the close box do.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

FrmMBmanager::~FrmMBmanager()
{
    // The tree's viewport outlives this part of the window while its children
    // go: it must stop reporting to a window that is already half destroyed.
    if (treeViewport_)
        treeViewport_->removeEventFilter(this);
}

bool FrmMBmanager::eventFilter(QObject* watched, QEvent* e)
{
    // The tree's Click: any click in it, on a node or beside the nodes, also
    // on the node already selected.
    if (watched == treeViewport_ && e->type() == QEvent::MouseButtonRelease)
        TreeView1_Click();
    return QDialog::eventFilter(watched, e);
}

void FrmMBmanager::buildControls()
{
    delete form_;
    form_ = new QWidget(this);
    form_->setGeometry(rect());

    Pictool = new PaintPanel(form_);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(Units::pxRect(0, 0, kWidth, 1020));
    auto button = [this](const char* name, const char* caption, Qt::Key key, QStyle::StandardPixmap sp, int left) {
        auto* b = new QvButton(QString::fromUtf8(caption), Pictool);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(buttonIcon(sp));
        b->setIconSize(QSize(32, 32));
        b->setToolTip(QString::fromUtf8(caption) + QStringLiteral("(") + QKeySequence(key).toString()
                      + QStringLiteral(")"));
        b->setShortcut(QKeySequence(Qt::ALT | key));
        b->setGeometry(Units::pxRect(left, 60, 870, 870));
        return b;
    };
    ButtnNew = button("ButtnNew", "新建模板", Qt::Key_N, QStyle::SP_FileIcon, 120);
    ButtnUpdate = button("ButtnUpdate", "修改模板", Qt::Key_F, QStyle::SP_FileDialogDetailedView, 1005);
    ButtnDel = button("ButtnDel", "删除模板", Qt::Key_D, QStyle::SP_TrashIcon, 1890);
    ButtnSave = button("ButtnSave", "保存模板", Qt::Key_S, QStyle::SP_DialogSaveButton, 2775);
    Linetool1 = new QWidget(Pictool);
    Linetool1->setObjectName(QStringLiteral("Linetool1"));
    Linetool1->setGeometry(Units::pxRect(3705, 120, 15, 750));
    ButtnLoad = button("ButtnLoad", "载入模板", Qt::Key_L, QStyle::SP_DialogApplyButton, 3780);
    ButtnLoad->hide();
    ButtnQuit = button("ButtnQuit", "退 出", Qt::Key_Q, QStyle::SP_DialogCloseButton, kWidth - 915);
    connect(ButtnNew, &QvButton::clicked, this, &FrmMBmanager::ButtnNew_Click);
    connect(ButtnUpdate, &QvButton::clicked, this, &FrmMBmanager::ButtnUpdate_Click);
    connect(ButtnDel, &QvButton::clicked, this, &FrmMBmanager::ButtnDel_Click);
    connect(ButtnSave, &QvButton::clicked, this, &FrmMBmanager::ButtnSave_Click);
    connect(ButtnLoad, &QvButton::clicked, this, &FrmMBmanager::ButtnLoad_Click);
    connect(ButtnQuit, &QvButton::clicked, this, &FrmMBmanager::ButtnQuit_Click);

    // The tree panel: the caption strip, the tree below it.
    PicTree = new PaintPanel(form_);
    PicTree->setObjectName(QStringLiteral("PicTree"));
    PicTree->setGeometry(Units::pxRect(60, kTopRow, 3000, kHeight - kTopRow - 60));
    TreeView1 = new QTreeWidget(PicTree);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setFrameShape(QFrame::NoFrame);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int cap = qMax(0, int(Palette::gCaptionHeight));
    TreeView1->setGeometry(1, cap + 1, PicTree->width() - 2, PicTree->height() - cap - 2);
    treeViewport_ = TreeView1->viewport();
    treeViewport_->installEventFilter(this);

    MSHFlexGrid1 = new DictGrid(form_);
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    MSHFlexGrid1->setGeometry(Units::pxRect(kListLeft, kTopRow, kListWidth, kListHeight));
    connect(MSHFlexGrid1, &DictGrid::SelChange, this, &FrmMBmanager::MSHFlexGrid1_SelChange);
    connect(MSHFlexGrid1, &DictGrid::MouseUp, this, &FrmMBmanager::MSHFlexGrid1_MouseUp);

    // The data panel: part and category on one line, then name, findings, diagnosis.
    Picdata = new PaintPanel(form_);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(Units::pxRect(kListLeft, kDataTop, kListWidth, kHeight - kDataTop - 60));
    auto label = [this](const char* name, const char* caption, int left, int top) {
        auto* l = new QLabel(QString::fromUtf8(caption), Picdata);
        l->setObjectName(QString::fromLatin1(name));
        l->move(Units::pxRect(left, top, 0, 0).topLeft());
        l->adjustSize();
        return l;
    };
    auto combo = [this](const char* name, const QRect& r) {
        auto* c = new PickCombo(Picdata);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(r);
        return c;
    };
    auto textBox = [this](const char* name, const QRect& r) {
        auto* t = new QPlainTextEdit(Picdata);
        t->setObjectName(QString::fromLatin1(name));
        t->setGeometry(r);
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        t->setTabChangesFocus(true);
        return t;
    };
    const int fieldWidth = kListWidth - 1020 - 120;
    Label1 = label("Label1", "部    位", 120, 210);
    Combopart = combo("Combopart", Units::pxRect(1020, 150, 3000, 330));
    Label2 = label("Label2", "二级分类", 4380, 210);
    Comboassort = combo("Comboassort", Units::pxRect(5280, 150, kListWidth - 5280 - 120, 330));
    Label3 = label("Label3", "检查名称", 120, 660);
    Text1 = new QLineEdit(Picdata);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(Units::pxRect(1020, 600, fieldWidth, 360));
    Text1->setMaxLength(std::numeric_limits<int>::max());
    Label4 = label("Label4", "超声描述", 120, 1110);
    Text2 = textBox("Text2", Units::pxRect(1020, 1050, fieldWidth, 1680));
    Label5 = label("Label5", "诊断意见", 120, 2850);
    Text3 = textBox("Text3", Units::pxRect(1020, 2790, fieldWidth, 1200));
    connect(Combopart, &PickCombo::Click, this, &FrmMBmanager::Combopart_Click);
    connect(Comboassort, &PickCombo::Click, this, &FrmMBmanager::Comboassort_Click);
    QWidget::setTabOrder(Text2, Text3);
    QWidget::setTabOrder(Text3, Text1);
    QWidget::setTabOrder(Text1, Comboassort);
    QWidget::setTabOrder(Comboassort, Combopart);

    // Until a template is shown, the three texts take no input (in their usual
    // colour); the two boxes do.
    Text1->setReadOnly(true);
    Text2->setReadOnly(true);
    Text3->setReadOnly(true);
    form_->show();
}

void FrmMBmanager::Form_Load()
{
    ApplySkin();
    LoadTemplateTree();
    LoadItemCaptions();
    ResetTemplateGrid();
    gMenuSkin.AttachForm(this);
    loadPartBox();
}

void FrmMBmanager::Form_Activate()
{
    // Picking for the editor shows the load button; it stays shown while the window is open.
    if (loaded_ && openStatus_ == QLatin1String("load"))
        ButtnLoad->show();
}

void FrmMBmanager::Form_Unload() { gMenuSkin.DetachForm(this); }

void FrmMBmanager::ApplySkin()
{
    Skin::ApplySkin(this, Pictool, Picdata, {ButtnNew, ButtnUpdate, ButtnSave, ButtnDel, ButtnLoad, ButtnQuit});
    Skin::SetLineColor(Linetool1, Palette::gLineColor);
    Skin::SetBackColor(PicTree, Palette::gPanelBackColor);
    Skin::DrawGradientCaption(PicTree, QStringLiteral("模板分类"));
}

// ---------------------------------------------------------------------------
// The tree, the captions, the part box.

void FrmMBmanager::LoadTemplateTree()
{
    TreeView1->clear();
    const QIcon partIcon = buttonIcon(QStyle::SP_DirIcon);
    const QIcon assortIcon = buttonIcon(QStyle::SP_FileIcon);
    QueryResult r = TemplateStore::Parts();
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    QHash<qint64, QTreeWidgetItem*> parts;
    if (r.hasRows()) {
        for (int i = 0; i < r.data->recordCount(); ++i) {
            auto* node = new QTreeWidgetItem(TreeView1, {r.data->text(i, 1)});
            const qint64 id = r.data->value(i, 0).toLongLong();
            node->setData(0, Qt::UserRole, kPartKey + QString::number(id));
            node->setIcon(0, partIcon);
            parts.insert(id, node);
        }
    }
    // Only categories whose part exists.
    r = TemplateStore::Categories();
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    if (!r.hasRows())
        return;
    for (int i = 0; i < r.data->recordCount(); ++i) {
        QTreeWidgetItem* part = parts.value(r.data->value(i, 2).toLongLong());
        if (!part)
            continue;
        auto* node = new QTreeWidgetItem(part, {r.data->text(i, 1)});
        node->setData(0, Qt::UserRole, kAssortKey + r.data->text(i, 0));
        node->setIcon(0, assortIcon);
    }
}

// The part, findings, diagnosis and exam name fields are called as the report
// items of the same fields are (rows 17, 19, 20 and 21 of the 23 items).
void FrmMBmanager::LoadItemCaptions()
{
    QStringList captions;
    if (!ReadItemCaptions(captions, true))
        return;
    const std::pair<QLabel*, int> labels[] = {{Label1, 17}, {Label4, 19}, {Label5, 20}, {Label3, 21}};
    for (const auto& [label, item] : labels) {
        label->setText(captions[item - 1]);
        label->adjustSize();
    }
}

void FrmMBmanager::ResetTemplateGrid()
{
    MSHFlexGrid1->setColumns({{QStringLiteral("模板编号"), 1500},
                              {QStringLiteral("模板的诊断意见"), 7050, DictGrid::Left, DictGrid::Centre}});
}

void FrmMBmanager::loadPartBox()
{
    Combopart->clearEntries();
    partIds_.clear();
    const QueryResult r = TemplateStore::Parts();
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    if (!r.hasRows())
        return;
    Combopart->addEntries(*r.data, partIds_);
    // No entry chosen.
    Combopart->setTypedText(QString());
}

void FrmMBmanager::Combopart_Click(int index)
{
    if (index < 0 || index >= partIds_.size()) {
        partTag_.clear();
        return;
    }
    partTag_ = QString::number(partIds_[index]);
    const QueryResult r = TemplateStore::CategoriesOf(partIds_[index]);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        // The old part's categories stay listed, but none stays chosen.
        Comboassort->setTypedText(QString());
        return;
    }
    // The category's tag is kept: only a category click changes it.
    Comboassort->clearEntries();
    assortIds_.clear();
    if (!r.hasRows())
        return;
    Comboassort->addEntries(*r.data, assortIds_);
    Comboassort->setTypedText(QString());
}

void FrmMBmanager::Comboassort_Click(int index)
{
    assortTag_ = index >= 0 && index < assortIds_.size() ? QString::number(assortIds_[index]) : QString();
}

// ---------------------------------------------------------------------------
// The list of a node's templates and the display of one.

void FrmMBmanager::TreeView1_Click()
{
    ResetTemplateGrid();
    QTreeWidgetItem* node = TreeView1->currentItem();
    if (!node || !node->isSelected())
        return;
    const QString key = node->data(0, Qt::UserRole).toString();
    const qint64 number = key.mid(2).toLongLong();
    const QueryResult r = TemplateStore::TemplatesOf(
        key.startsWith(kPartKey) ? TemplateStore::Node::Part : TemplateStore::Node::Category, number);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    if (!r.hasRows()) {
        // No templates: the empty state; a pending edit stays pending.
        clearFields();
        templateNo_ = 0;
        setReadOnlyLook();
        enableWithRight(ButtnNew);
        for (QvButton* b : {ButtnUpdate, ButtnDel, ButtnLoad, ButtnSave})
            b->setEnabled(false);
        return;
    }
    for (int i = 0; i < r.data->recordCount(); ++i) {
        const QStringList texts{r.data->text(i, 0), r.data->text(i, 1)};
        if (i == 0)
            MSHFlexGrid1->setRowTexts(0, texts);
        else
            MSHFlexGrid1->appendRow(texts);
    }
    MSHFlexGrid1->setFilledLook();
    MSHFlexGrid1->selectWholeRow(0);
    templateNo_ = MSHFlexGrid1->cell(0, 0).toLongLong();
    MSHFlexGrid1_SelChange();
}

void FrmMBmanager::MSHFlexGrid1_SelChange()
{
    const int row = MSHFlexGrid1->endRow();
    if (row < 0)
        return;
    // The blank row of the empty list is no template: nothing is shown or changed.
    const QString cell = MSHFlexGrid1->cell(row, 0);
    if (cell.isEmpty()) {
        templateNo_ = 0;
        return;
    }
    templateNo_ = cell.toLongLong();
    const QueryResult r = TemplateStore::Template(templateNo_);
    if (r.failed())
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
    if (!r.hasRows()) {
        showTemplateFailed();
        return;
    }
    const RecordSet& t = *r.data;
    // A number of 0 is none: the text alone chooses.
    const auto someId = [](qint64 id) { return id != 0 ? std::optional<qint64>(id) : std::nullopt; };
    Combopart->setTypedText(t.text(0, 6));
    Combopart->chooseByIdOrText(partIds_, someId(t.value(0, 7).toLongLong()));
    Comboassort->setTypedText(t.text(0, 5));
    Comboassort->chooseByIdOrText(assortIds_, someId(t.value(0, 1).toLongLong()));
    Text1->setText(t.text(0, 2));
    Text1->setCursorPosition(0);
    Text2->setPlainText(t.text(0, 3));
    Text3->setPlainText(t.text(0, 4));

    setReadOnlyLook();
    mode_.clear();
    for (QvButton* b : {ButtnNew, ButtnUpdate, ButtnDel})
        enableWithRight(b);
    ButtnLoad->setEnabled(true);
    ButtnSave->setEnabled(false);
}

// A listed template that cannot be read (deleted meanwhile, or its category or
// part gone): nothing of the template shown before may stay on screen under the
// new number, so nothing stale can be saved over it or loaded into a report.
void FrmMBmanager::showTemplateFailed()
{
    clearFields();
    setReadOnlyLook();
    mode_.clear();
    for (QvButton* b : {ButtnUpdate, ButtnDel, ButtnLoad, ButtnSave})
        b->setEnabled(false);
}

void FrmMBmanager::MSHFlexGrid1_MouseUp()
{
    // Only one row is ever selected, across all columns.
    if (MSHFlexGrid1->hasRows())
        MSHFlexGrid1->selectWholeRow(MSHFlexGrid1->endRow());
}
