// The query window's controls in their places, its colours, the panel
// switch with its tabs, the panel borders and the toolbar's quit button.
#include "query/Frmfind.h"

#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/Units.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include <cmath>
#include <limits>

using namespace FrmfindLayout;
using namespace Palette;

namespace {
using Units::place;
using Units::pxRect;

// Conditions may be pasted texts of any length.
constexpr int kUnlimited = std::numeric_limits<int>::max();

QLineEdit* makeEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(kUnlimited);
    return e;
}

QComboBox* makeCombo(QWidget* parent, const char* name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->lineEdit()->setMaxLength(kUnlimited);
    return c;
}

QDateEdit* makeDate(QWidget* parent, const char* name)
{
    auto* d = new QDateEdit(parent);
    d->setObjectName(QString::fromLatin1(name));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return d;
}

// The column chooser's boxes in the order they stand on the panel: column
// order, except that 诊断意见 (xm20) stands above X线征象 (xm19).
constexpr int kBoxOrder[FrmfindResults::kChooserBoxes] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                          12, 13, 14, 15, 16, 17, 18, 20, 19, 21};
}

void Frmfind::buildControls()
{
    delete form_;
    form_ = new QWidget(this);
    form_->setGeometry(0, 0, width(), height());
    captions.clear();

    // Toolbar.
    Pictool = place(new PaintPanel(form_), 0, 0, Units::twips(width()), kToolbarHeight);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    auto toolButton = [this](const char* name, const QString& caption, int left) {
        auto* b = place(new QvButton(caption, Pictool), left, 60, 870, 870);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    buttonYes = toolButton("buttonYes", QStringLiteral("查 询"), 120);
    CmdPrintSet = toolButton("CmdPrintSet", QStringLiteral("打印设置"), 1005);
    CmdPrint = toolButton("CmdPrint", QStringLiteral("打印列表"), 1890);
    buttnview = toolButton("buttnview", QStringLiteral("查看报告"), 2775);
    ButtnQuit = toolButton("ButtnQuit", QStringLiteral("退 出"), 4020);
    Linetool1 = place(new QWidget(Pictool), 3765, 120, 15, 750);
    Linetool1->setObjectName(QStringLiteral("Linetool1"));
    CmdPrint->setEnabled(false);
    buttnview->setEnabled(false);
    connect(buttonYes, &QvButton::clicked, this, &Frmfind::buttonYes_Click);
    connect(CmdPrintSet, &QvButton::clicked, this, &Frmfind::CmdPrintSet_Click);
    connect(CmdPrint, &QvButton::clicked, this, &Frmfind::CmdPrint_Click);
    connect(buttnview, &QvButton::clicked, this, &Frmfind::buttnview_Click);
    connect(ButtnQuit, &QvButton::clicked, this, &Frmfind::ButtnQuit_Click);
    connect(Pictool, &PaintPanel::Resize, this, &Frmfind::Pictool_Resize);

    // The two tabs and their panels.
    Buttntj = place(new QvButton(QStringLiteral("查询条件"), form_), 60, 1080, 1695, 360);
    Buttnxm = place(new QvButton(QStringLiteral("报告项目"), form_), 1800, 1080, 1695, 360);
    Buttntj->setObjectName(QStringLiteral("Buttntj"));
    Buttnxm->setObjectName(QStringLiteral("Buttnxm"));
    for (QvButton* tab : {Buttntj, Buttnxm})
        tab->setFocusPolicy(Qt::NoFocus);
    connect(Buttntj, &QvButton::clicked, this, &Frmfind::Buttntj_Click);
    connect(Buttnxm, &QvButton::clicked, this, &Frmfind::Buttnxm_Click);
    Pictiaojian = place(new PaintPanel(form_), kPanelLeft, kPanelTop, kPanelWidth, kConditionsHeight);
    Picturexm = place(new PaintPanel(form_), kPanelLeft, kPanelTop, kPanelWidth, kItemsHeight);
    Pictiaojian->setObjectName(QStringLiteral("Pictiaojian"));
    Picturexm->setObjectName(QStringLiteral("Picturexm"));
    connect(Pictiaojian, &PaintPanel::Resize, this, &Frmfind::Pictiaojian_Resize);
    connect(Picturexm, &PaintPanel::Resize, this, &Frmfind::Picturexm_Resize);

    // Conditions, one row each, caption left of the input.
    const auto edit = [this](const char* name) { return makeEdit(Pictiaojian, name); };
    const auto combo = [this](const char* name) { return makeCombo(Pictiaojian, name); };
    struct Row {
        QWidget* input;
        const char* caption;
    };
    const Row rows[] = {
        {DT1 = makeDate(Pictiaojian, "DT1"), "开始日期："},
        {DT2 = makeDate(Pictiaojian, "DT2"), "结束日期："},
        {Text7 = edit("Text7"), "X线号："},
        {Text6 = edit("Text6"), "病人姓名："},
        {Text11 = combo("Text11"), "性 别："},
        {Text9 = edit("Text9"), "年龄上限："},
        {Text10 = edit("Text10"), "年龄下限："},
        {Text8 = edit("Text8"), "住院号："},
        {Text15 = edit("Text15"), "门诊号："},
        {Text3 = combo("Text3"), "科 室："},
        {Text4 = combo("Text4"), "检查部位："},
        {Text5 = edit("Text5"), "诊断意见："},
        {Text12 = edit("Text12"), "X线 征象："},
        {Text13 = combo("Text13"), "报告医师："},
        {Text14 = edit("Text14"), "检查名称："},
    };
    DT1->setDateRange(QDate(1980, 1, 1), QDate(2999, 12, 31));
    int top = 240;
    for (const Row& r : rows) {
        const bool tall = r.input == Text12 || r.input == Text14;
        const bool date = r.input == DT1 || r.input == DT2;
        const int h = tall ? 375 : 330;
        place(r.input, 1320, top, date ? 1695 : 1650, h);
        const QString caption = QString::fromUtf8(r.caption);
        if (date) {
            // The tick in front of the caption decides whether the date counts.
            auto* tick = place(new QCheckBox(caption, Pictiaojian), 90, top, 1215, h);
            tick->setChecked(true);
            tick->setObjectName(r.input == DT1 ? QStringLiteral("DT1Check") : QStringLiteral("DT2Check"));
            (r.input == DT1 ? DT1Check : DT2Check) = tick;
            connect(tick, &QCheckBox::toggled, r.input, &QWidget::setEnabled);
        } else {
            auto* label = place(new QLabel(caption, Pictiaojian), 90, top, 1200, h);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setAttribute(Qt::WA_TranslucentBackground);
            captions << label;
        }
        top += 450;
    }

    // The column chooser.
    for (int i = 0; i < FrmfindResults::kChooserBoxes; ++i) {
        const int n = kBoxOrder[i];
        auto* box = place(new QCheckBox(FrmfindResults::HeaderText(n - 1), Picturexm), 900,
                          240 + i * 300 + (i + 1) / 2 * 15, 2055, 255);
        box->setObjectName(QStringLiteral("xm%1").arg(n));
        box->setChecked(FrmfindResults::TickedAtOpening(n - 1));
        connect(box, &QCheckBox::clicked, this, [this, n] { xm_Click(n); });
        xm[size_t(n - 1)] = box;
    }

    MGrid = FrmfindResults::CreateView(form_);
    MGrid->setObjectName(QStringLiteral("MGrid"));
    MGrid->setGeometry(pxRect(kGridLeft, kGridTop, 9000, 7500));
    FrmfindResults::SetEmptyLook(MGrid);
}

void Frmfind::ApplySkin()
{
    Skin::SetBackColor(form_, gFormBackColor);
    Skin::SetBackColor(Pictool, gToolBackColor);
    Skin::SetLineColor(Linetool1, gLineColor);
    Skin::SetBackColor(Picturexm, gPanelBackColor);
    Skin::SetBackColor(Pictiaojian, gPanelBackColor);
    for (QCheckBox* box : xm)
        Skin::SetBackColor(box, gPanelBackColor);
    Skin::DrawToolbarLine(Pictool);
    for (QvButton* b : {buttnview, CmdPrintSet, CmdPrint, ButtnQuit, buttonYes})
        Skin::ToolbarScheme(b);
    // A back colour clears a panel's drawings: the borders come back.
    Pictiaojian_Resize();
    Picturexm_Resize();
}

Frmfind::TabColors Frmfind::tabColors(bool active)
{
    if (active)
        return {gLineColor, AdjustColor(gCaptionColorFrom, -20), AdjustColor(gPanelBackColor, 10)};
    return {gLineColor, AdjustColor(gCaptionColorFrom, 5), AdjustColor(gCaptionColorFrom, 60)};
}

void Frmfind::paintTab(QvButton* tab, bool active)
{
    const TabColors c = tabColors(active);
    tab->setColor(ButtonProp::BorderColor, c.edge);
    for (ButtonProp p : {ButtonProp::FaceBottom, ButtonProp::HoverBottom, ButtonProp::DownBottom})
        tab->setColor(p, c.second);
    for (ButtonProp p : {ButtonProp::FaceTop, ButtonProp::HoverTop, ButtonProp::DownTop})
        tab->setColor(p, c.first);
}

void Frmfind::ShowPanel(int index)
{
    if (index != 1 && index != 2)
        return;
    const bool conditions = index == 1;
    paintTab(conditions ? Buttnxm : Buttntj, false);
    paintTab(conditions ? Buttntj : Buttnxm, true);
    Pictiaojian->setVisible(conditions);
    Picturexm->setVisible(!conditions);
}

namespace {
// The frame of a panel with its top edge open over [openFrom, openTo) pixels.
void drawBorder(PaintPanel* panel, bool openLeft)
{
    panel->cls();
    panel->setDrawing(QStringLiteral("border"), [openLeft](QPainter& p, const QSize& s, const QFont&) {
        const int w = s.width(), h = s.height();
        p.setPen(ToQColor(gLineColor));
        if (openLeft)
            p.drawLine(kTabOpening, 0, w, 0);
        else
            p.drawLine(0, 0, w - kTabOpening, 0);
        p.drawLine(0, 0, 0, h - 1);
        p.drawLine(0, h - 1, w, h - 1);
        p.drawLine(w - 1, 0, w - 1, h);
    });
}
}

void Frmfind::Pictiaojian_Resize() { drawBorder(Pictiaojian, true); }

void Frmfind::Picturexm_Resize() { drawBorder(Picturexm, false); }

void Frmfind::Pictool_Resize()
{
    Skin::DrawToolbarLine(Pictool);
    ButtnQuit->move(Pictool->width() - ButtnQuit->width() - kQuitMargin, ButtnQuit->y());
}
