// The workload statistics window: its controls in their places, the
// list of statistics, the caption strips, running a statistic into the sheet and
// printing it.
#include "query/FrmTJ.h"

#include "core/Database.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/Environment.h"
#include "platform/Units.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/ReportFonts.h"

#include <QDateEdit>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>

#include <cmath>

using namespace Palette;

namespace {
constexpr qint32 kWhite = RGB(255, 255, 255);

using Units::place;
using Units::px;

QLabel* makeLabel(QWidget* parent, const QString& caption, int l, int t, int w, int h)
{
    auto* lb = place(new QLabel(caption, parent), l, t, w, h);
    lb->setAttribute(Qt::WA_TranslucentBackground);
    return lb;
}

// Paints the sheet's cells straight from the sheet: its text in the cell's font
// and alignment, clipped to the cell; no selection and no focus frame.
class SheetDelegate final : public QStyledItemDelegate {
public:
    SheetDelegate(const Workload::SheetModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override
    {
        const Workload::Sheet& s = model_->sheet();
        const int r = index.row(), c = index.column();
        const double size = s.fontSize(r, c);
        if (size > 0) {
            QFont f = opt.font;
            f.setPointSizeF(size);
            p->setFont(f);
        } else {
            p->setFont(opt.font);
        }
        p->setPen(opt.palette.color(QPalette::Text));
        const QString text = s.text(r, c);
        p->drawText(opt.rect.adjusted(3, 0, -3, 0), int(model_->cellAlignment(r, c, text)), text);
    }

private:
    const Workload::SheetModel* model_;
};

// The list buttons' captions, padded with blanks.
QString listCaption(int k) { return Workload::Title(k) + QString(k == 0 ? 12 : 10, QLatin1Char(' ')); }

QColor line() { return ToQColor(gLineColor); }

// The caption of a strip in black, centred across the panel and on the caption height.
void paintCaption(QPainter& p, const QSize& s, const QString& caption, const QFont& font)
{
    const QFontMetricsF fm(font);
    const double x = (s.width() - fm.horizontalAdvance(caption)) / 2.0;
    const double y = (gCaptionHeight - fm.height()) / 2.0;
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPointF(x, y + fm.ascent()), caption);
}

// The strips of the two left panels: frame rows 0 and G, gradient rows 1..G-1,
// then the side edges and, where asked, the bottom edge.
void paintPanelStrip(QPainter& p, const QSize& s, const QFont& f, const QString& caption, bool bottom)
{
    const int w = s.width(), h = s.height(), g = gCaptionHeight;
    p.fillRect(QRect(0, g, w, 1), line());
    // Row i of 0..G-1 at fraction i/(G-1); row 0 then takes the frame line.
    Skin::PaintGradientRows(p, w, 0, g - 1, g - 1, gCaptionColorFrom, gCaptionColorTo);
    p.fillRect(QRect(0, 0, w, 1), line());
    p.fillRect(QRect(0, 0, 1, h), line());
    p.fillRect(QRect(w - 1, 0, 1, h), line());
    if (bottom)
        p.fillRect(QRect(0, h - 1, w, 1), line());
    paintCaption(p, s, caption, f);
}
}

// ---------------------------------------------------------------------------

void ListButton::setSwitch(int k, int value)
{
    if (k == 2) {
        setColor(ButtonProp::FocusColor, value);
    } else if (k == 0 || k == 1) {
        switches_[size_t(k)] = value;
        update();
    }
}

int ListButton::switchValue(int k) const
{
    if (k == 2)
        return color(ButtonProp::FocusColor);
    return k == 0 || k == 1 ? switches_[size_t(k)] : 0;
}

void ListButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool down = isEnabled() && isDown();
    const bool hover = isEnabled() && !down && underMouse();
    auto prop = [this](ButtonProp k, const QColor& fallback) { return hasColor(k) ? ToQColor(color(k)) : fallback; };
    const ButtonProp faceProp = down ? ButtonProp::DownTop : hover ? ButtonProp::HoverTop : ButtonProp::FaceTop;
    const ButtonProp foreProp = down    ? ButtonProp::DownForeColor
                                : hover ? ButtonProp::HoverForeColor
                                        : ButtonProp::ForeColor;
    const QColor face = prop(faceProp, Qt::white);
    const QRect r = rect();
    if (switches_[0]) {
        p.fillRect(r, face);
    } else {
        QLinearGradient grad(r.topLeft(), r.bottomLeft());
        grad.setColorAt(0, face);
        grad.setColorAt(1, prop(ButtonProp::FaceBottom, Qt::white));
        p.fillRect(r, grad);
    }
    QColor frame = prop(ButtonProp::BorderColor, Qt::gray);
    if (!switches_[1])
        frame = QColor((frame.red() + face.red()) / 2, (frame.green() + face.green()) / 2,
                       (frame.blue() + face.blue()) / 2);
    p.setPen(frame);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(prop(foreProp, Qt::black));
    const int shift = down ? 1 : 0;
    p.drawText(r.translated(shift, shift), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        p.setPen(QPen(prop(ButtonProp::FocusColor, Qt::black), 1, Qt::DotLine));
        p.drawRect(r.adjusted(2, 2, -3, -3));
    }
}

// ---------------------------------------------------------------------------

FrmTJ& FrmTJ::instance()
{
    static FrmTJ* window = new FrmTJ();
    return *window;
}

FrmTJ::FrmTJ() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("统计报表"));
    resize(px(11760), px(8700));
    model_ = new Workload::SheetModel(this);
}

void FrmTJ::ensureLoaded()
{
    if (loaded_)
        return;
    buildControls();
    loaded_ = true;
    Form_Load();
    Form_Resize();
    Pictool_Resize();
    Pictj_Resize();
    Pictitle_Resize();
}

int FrmTJ::showModally()
{
    if (!isVisible()) {
        // Without a window manager the maximised state alone leaves the window at its own size.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    return Opener::showModal(this);
}

void FrmTJ::buildControls()
{
    delete form_;
    form_ = new QWidget(this);
    form_->setGeometry(rect());
    BtnList.clear();

    // Tool bar, along the top edge.
    Pictool = new PaintPanel(form_);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(0, 0, width(), px(1008));
    auto toolButton = [this](const char* name, const QString& caption, int left) {
        auto* b = place(new QvButton(caption, Pictool), left, 60, 870, 870);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    CmdTJ = toolButton("CmdTJ", QStringLiteral("统 计"), 1440);
    CmdPrintSet = toolButton("CmdPrintSet", QStringLiteral("打印设置"), 3720);
    CmdPrint = toolButton("CmdPrint", QStringLiteral("打印报表"), 4605);
    ButtnQuit = toolButton("ButtnQuit", QStringLiteral("退 出"), 10800);
    Linetool1 = new QWidget(Pictool);
    Linetool1->setObjectName(QStringLiteral("Linetool1"));
    Linetool1->setGeometry(px(3585), px(120), 1, px(930) - px(120));
    CmdPrint->setEnabled(false);
    connect(CmdTJ, &QvButton::clicked, this, [this] { CmdTJ_Click(); });
    connect(CmdPrintSet, &QvButton::clicked, this, [this] { CmdPrintSet_Click(); });
    connect(CmdPrint, &QvButton::clicked, this, [this] { CmdPrint_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
    connect(Pictool, &PaintPanel::Resize, this, [this] { Pictool_Resize(); });

    // The list of statistics. Its panel, the conditions panel and the browsing
    // strip keep the system's colour.
    Picrptsel = place(new PaintPanel(form_), 60, 1067, 3420, 2940);
    Picrptsel->setObjectName(QStringLiteral("Picrptsel"));
    Picrptsel->setBackColor(kSysButtonFace);
    for (int k = 0; k < Workload::kStatistics; ++k) {
        auto* b = new ListButton(listCaption(k), Picrptsel);
        b->setObjectName(QStringLiteral("BtnList(%1)").arg(k));
        b->setGeometry(px(45), px(360 * (k + 1)), px(3330), px(360));
        // Design values: a white face, switches off.
        for (ButtonProp face : {ButtonProp::FaceTop, ButtonProp::HoverTop, ButtonProp::DownTop, ButtonProp::FaceBottom,
                                ButtonProp::HoverBottom, ButtonProp::DownBottom})
            b->setColor(face, kWhite);
        b->setSwitch(2, 0);
        connect(b, &QvButton::clicked, this, [this, k] { BtnList_Click(k); });
        BtnList.append(b);
    }

    // The date range.
    Pictj = place(new PaintPanel(form_), 60, 4080, 3420, 4260);
    Pictj->setObjectName(QStringLiteral("Pictj"));
    Pictj->setBackColor(kSysButtonFace);
    Label6 = makeLabel(Pictj, QStringLiteral("开始日期："), 240, 555, 1215, 255);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label7 = makeLabel(Pictj, QStringLiteral("结束日期："), 240, 1035, 1215, 255);
    Label7->setObjectName(QStringLiteral("Label7"));
    DTPicker1 = place(new QDateEdit(Pictj), 1200, 480, 1935, 375);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker2 = place(new QDateEdit(Pictj), 1200, 960, 1935, 375);
    DTPicker2->setObjectName(QStringLiteral("DTPicker2"));
    for (QDateEdit* d : {DTPicker1, DTPicker2}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));   // as the query window's
    }
    Pictjline = new QWidget(Pictj);
    Pictjline->setObjectName(QStringLiteral("Pictjline"));
    Pictjline->setGeometry(0, Pictj->height() - 1, px(3420), 1);
    connect(Pictj, &PaintPanel::Resize, this, [this] { Pictj_Resize(); });

    // The sheet, framed by Picgrid's one-pixel rim, under its caption strip.
    Pictitle = place(new PaintPanel(form_), 3520, 1067, 8175, 326);
    Pictitle->setObjectName(QStringLiteral("Pictitle"));
    Pictitle->setBackColor(kSysButtonFace);
    connect(Pictitle, &PaintPanel::Resize, this, [this] { Pictitle_Resize(); });
    Picgrid = place(new PaintPanel(form_), 3520, 1383, 8175, 6855);
    Picgrid->setObjectName(QStringLiteral("Picgrid"));
    MGrid = new QTableView(Picgrid);
    MGrid->setObjectName(QStringLiteral("MGrid"));
    MGrid->setGeometry(1, 1, px(8175), px(6855));
    ReportFonts::installSubstitutions();
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(11.25);
    MGrid->setFont(font);
    model_->setBaseFont(font);
    MGrid->horizontalHeader()->hide();
    MGrid->verticalHeader()->hide();
    MGrid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
    MGrid->horizontalHeader()->setDefaultSectionSize(px(Workload::kColumnTwips));
    MGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MGrid->setSelectionMode(QAbstractItemView::NoSelection);
    MGrid->setWordWrap(false);
    MGrid->setFrameShape(QFrame::NoFrame);
    MGrid->setModel(model_);
    MGrid->setItemDelegate(new SheetDelegate(model_, MGrid));
    showSheet(Workload::Sheet());

    form_->show();
}

void FrmTJ::Form_Load()
{
    ApplySkin();
    setWindowState(windowState() | Qt::WindowMaximized);
    const QDate today = Environment::today();
    DTPicker1->setDate(today);
    DTPicker2->setDate(today);
    SelectReport(0);
    printer_.SetupGridPrinter();
}

void FrmTJ::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (!loaded_)
        return;
    form_->setGeometry(rect());
    Pictool->setGeometry(0, 0, width(), Pictool->height());
    Form_Resize();
}

void FrmTJ::Form_Resize()
{
    if (!loaded_)
        return;
    // The outer size decides, strictly: 8000 twips wide or less, 6000 high or
    // less keeps the sizes as they were.
    const QSize outer = frameGeometry().size();
    if (Units::twips(outer.width()) > 8000) {
        Pictitle->resize(width() - Pictitle->x() - px(60), Pictitle->height());
        Picgrid->resize(Pictitle->width(), Picgrid->height());
        MGrid->resize(Picgrid->width() - 2, MGrid->height());
    }
    if (Units::twips(outer.height()) > 6000) {
        Pictj->resize(Pictj->width(), height() - Pictj->y() - px(60));
        Picgrid->resize(Picgrid->width(), height() - Picgrid->y() - px(60));
        MGrid->resize(MGrid->width(), Picgrid->height() - 2);
    }
}

void FrmTJ::ApplySkin()
{
    Skin::SetBackColor(form_, gFormBackColor);
    Skin::SetBackColor(Pictool, gToolBackColor);
    Skin::SetBackColor(Picgrid, gLineColor);
    Skin::DrawToolbarLine(Pictool);
    DrawReportSelCaption();
    DrawConditionsCaption();
    Skin::SetLineColor(Pictjline, gLineColor);
    Skin::SetLineColor(Linetool1, gLineColor);
    for (QvButton* b : {CmdPrintSet, CmdPrint, ButtnQuit, CmdTJ})
        Skin::ToolbarScheme(b);
    for (ListButton* b : BtnList)
        b->setColor(ButtonProp::BorderColor, gLineColor);
    for (ListButton* b : BtnList)
        for (ButtonProp fore : {ButtonProp::HoverForeColor, ButtonProp::DownForeColor, ButtonProp::ForeColor})
            b->setColor(fore, gButtonColor5);
}

void FrmTJ::DrawConditionsCaption()
{
    // Its bottom edge is the line control Pictjline.
    Pictj->setDrawing(QStringLiteral("caption"), [](QPainter& p, const QSize& s, const QFont& f) {
        paintPanelStrip(p, s, f, QStringLiteral("统计条件"), false);
    });
}

void FrmTJ::DrawReportSelCaption()
{
    Picrptsel->setDrawing(QStringLiteral("caption"), [](QPainter& p, const QSize& s, const QFont& f) {
        paintPanelStrip(p, s, f, QStringLiteral("选择报表"), true);
    });
}

void FrmTJ::DrawBrowseCaption()
{
    // Graded over the whole strip, then framed.
    Pictitle->setDrawing(QStringLiteral("caption"), [](QPainter& p, const QSize& s, const QFont& f) {
        const int w = s.width(), h = s.height();
        if (h <= 0)
            return;
        Skin::PaintGradientRows(p, w, 0, h - 1, h - 1, gCaptionColorFrom, gCaptionColorTo);
        p.fillRect(QRect(0, 0, w, 1), line());
        p.fillRect(QRect(0, 0, 1, h), line());
        p.fillRect(QRect(w - 1, 0, 1, h), line());
        p.fillRect(QRect(0, h - 1, w, 1), line());
        paintCaption(p, s, QStringLiteral("报表浏览"), f);
    });
}

void FrmTJ::Pictool_Resize()
{
    Skin::DrawToolbarLine(Pictool);
    ButtnQuit->move(Pictool->width() - ButtnQuit->width() - 16, ButtnQuit->y());
}

void FrmTJ::Pictj_Resize()
{
    Pictj->setDrawing(QStringLiteral("edges"), [](QPainter& p, const QSize& s, const QFont&) {
        p.fillRect(QRect(0, 0, 1, s.height()), line());
        p.fillRect(QRect(s.width() - 1, 0, 1, s.height()), line());
    });
    Pictjline->move(0, Pictj->height() - 1);
}

void FrmTJ::Pictitle_Resize() { DrawBrowseCaption(); }

void FrmTJ::BtnList_Click(int Index)
{
    if (Index != reportIndex_)
        SelectReport(Index);
}

void FrmTJ::SelectReport(int Index)
{
    if (Index < 0 || Index >= Workload::kStatistics || BtnList.size() != Workload::kStatistics)
        return;
    auto mark = [](ListButton* b, bool on) {
        for (int k = 0; k < 3; ++k)
            b->setSwitch(k, on ? 1 : 0);
        for (ButtonProp face : {ButtonProp::HoverTop, ButtonProp::DownTop, ButtonProp::FaceTop})
            b->setColor(face, on ? gSelectColor : kWhite);
    };
    mark(BtnList[reportIndex_], false);
    reportIndex_ = qint16(Index);
    mark(BtnList[Index], true);
}

void FrmTJ::CmdTJ_Click()
{
    const QDate first = DTPicker1->date();
    const QDate last = DTPicker2->date();
    const int k = reportIndex_;
    if (k < 0 || k >= Workload::kStatistics)
        return;
    const QueryResult r = Workload::Read(k, first, last);
    if (!r.hasRows()) {
        // Nothing found is reported the same way; the earlier sheet stays.
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    CmdPrint->setEnabled(true);
    showSheet(Workload::Sheet::build(k, first, last, r.data));
    if (sheet().unreadableFees() > 0) {
        // A fee that is no amount is left out of the totals, never in silence.
        const QueryResult bad = Workload::ReadUnreadableFees(first, last);
        if (bad.hasRows())
            MessageBox::show(Workload::UnreadableFeesText(*bad.data), MessageBox::kNoticeTitle,
                             MessageBox::Icon::Exclamation);
        else if (bad.failed())
            MessageBox::critical(bad.description, MessageBox::kErrorTitle);
    }
}

void FrmTJ::showSheet(Workload::Sheet sheet)
{
    MGrid->clearSpans();
    model_->setSheet(std::move(sheet));
    const Workload::Sheet& s = model_->sheet();
    if (s.blank())
        return;
    const auto widths = Workload::ColumnTwips(s, MGrid->font());
    for (int c = 0; c < s.cols(); ++c)
        MGrid->setColumnWidth(c, px(widths[size_t(c)]));
    MGrid->setRowHeight(0, px(s.rowHeightTwips(0)));
    for (int r : {0, 1, s.rows() - 1})
        if (s.mergeRow(r))
            MGrid->setSpan(r, 0, 1, s.cols());
    MGrid->setCurrentIndex(model_->index(0, 0));
    MGrid->scrollToTop();
}

void FrmTJ::CmdPrint_Click()
{
    if (model_->rowCount() == 0 || model_->columnCount() == 0) {
        MessageBox::information(QStringLiteral("当前没有报表数据"), MessageBox::kNoticeTitle);
        return;
    }
    printer_.SetupGridPrinter();
    const QFont f = MGrid->font();
    GridFont font;
    font.name = f.family();
    font.size = f.pointSizeF();
    const QModelIndex current = MGrid->currentIndex();
    // The widths the grid shows, in twips: the amount column as wide as its amounts.
    const Workload::SheetGrid grid(model_->sheet(), font, Units::twips(MGrid->verticalHeader()->defaultSectionSize()),
                                   Workload::ColumnTwips(model_->sheet(), f),
                                   {std::max(current.row(), 0), std::max(current.column(), 0)});
    printer_.PrintGrid(grid);
}

void FrmTJ::CmdPrintSet_Click() { Openers::OpenGridPrintSettings(); }

void FrmTJ::ButtnQuit_Click() { done(QDialog::Rejected); }

void FrmTJ::done(int r)
{
    QDialog::done(r);
    // Closing discards the dates, the selection's look and the sheet (and the
    // answer behind it): the next opening loads the window afresh.
    if (MGrid)
        MGrid->clearSpans();
    model_->setSheet(Workload::Sheet());
    loaded_ = false;
}
