#include "report/Frmreport.h"

#include "core/NumberText.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvScrollBar.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/Units.h"
#include "report/Frmprintset.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportPaperWidget.h"
#include "report/ReportUnits.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QWheelEvent>
#include <cmath>
#include <optional>

namespace {

constexpr int kToolHeight = 38;
// Zooms typed into the list beyond this are not taken: the page would not fit in memory.
constexpr double kMaxZoomPercent = 500;

int toPx(double mm) { return int(Units::roundEven(ReportUnits::mmToDots(mm, ReportUnits::kScreenDpi))); }
double toMm(int px) { return ReportUnits::dotsToMm(px, ReportUnits::kScreenDpi); }
QRect toPx(const QRectF& mm) { return QRect(toPx(mm.x()), toPx(mm.y()), toPx(mm.width()), toPx(mm.height())); }

// The zoom as the list shows it: the single-precision factor times 100, and "%".
QString zoomText(double zoom)
{
    const float percent = float(zoom) * 100.0f;
    return QString::number(double(percent), 'g', 7) + QLatin1Char('%');
}

// The percentage of a zoom text ("83%", "83 %" or "83"); nullopt when it is none the
// preview can show.
std::optional<double> zoomPercent(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    const auto v = NumberText::Parse(t);
    if (!v || !(*v > 0) || *v > kMaxZoomPercent)
        return std::nullopt;
    return *v;
}

// A stored zoom the preview can use; anything else is 100 %.
double usableZoom(double zoom) { return std::isfinite(zoom) && zoom > 0 && zoom * 100 <= kMaxZoomPercent ? zoom : 1.0; }

QvButton* toolButton(const QString& name, const QString& caption, const QString& tip, QWidget* parent, int x, int w)
{
    auto* b = new QvButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setGeometry(x, 6, w, 26);
    return b;
}

QLabel* pageLabel(const QString& name, const QString& caption, QWidget* parent, int x)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(x, 6, 64, 26);
    return l;
}
}

Frmreport& Frmreport::instance()
{
    static Frmreport* window = new Frmreport();
    return *window;
}

Frmreport::Frmreport() : QDialog(nullptr), renderer_(settings_, content_)
{
    setWindowTitle(QStringLiteral("打印预览"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    resize(800, 600);
    buildControls();
    renderer_.setPreviewWidget(Picpaper);
}

void Frmreport::buildControls()
{
    Pictool = new PaintPanel(this);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(0, 0, width(), kToolHeight);
    connect(Pictool, &PaintPanel::Resize, this, &Frmreport::Pictool_Resize);

    CmdPrint = toolButton(QStringLiteral("CmdPrint"), QStringLiteral("打印报告"), QStringLiteral("打印报告(P)"),
                          Pictool, 8, 75);
    CmdPrintSet = toolButton(QStringLiteral("CmdPrintSet"), QStringLiteral("打印设置"), QStringLiteral("打印设置(S)"),
                             Pictool, 88, 75);
    Cpageup = toolButton(QStringLiteral("Cpageup"), QStringLiteral("上一页"), QString(), Pictool, 184, 60);
    Cpagedown = toolButton(QStringLiteral("Cpagedown"), QStringLiteral("下一页"), QString(), Pictool, 248, 60);
    Labelpagecount = pageLabel(QStringLiteral("Labelpagecount"), QStringLiteral("共   页"), Pictool, 312);
    Labelpagedq = pageLabel(QStringLiteral("Labelpagedq"), QStringLiteral("第   页"), Pictool, 378);
    Combosf = new QComboBox(Pictool);
    Combosf->setObjectName(QStringLiteral("Combosf"));
    Combosf->setEditable(true);
    Combosf->setInsertPolicy(QComboBox::NoInsert);
    Combosf->setGeometry(462, 8, 76, 22);
    Cmdup = toolButton(QStringLiteral("Cmdup"), QStringLiteral("放大"), QString(), Pictool, 544, 52);
    Cmddown = toolButton(QStringLiteral("Cmddown"), QStringLiteral("缩小"), QString(), Pictool, 600, 52);
    ButtnQuit =
        toolButton(QStringLiteral("ButtnQuit"), QStringLiteral("退 出"), QStringLiteral("退出(Q)"), Pictool, 0, 75);

    connect(CmdPrint, &QvButton::clicked, this, &Frmreport::CmdPrint_Click);
    connect(CmdPrintSet, &QvButton::clicked, this, &Frmreport::CmdPrintSet_Click);
    connect(ButtnQuit, &QvButton::clicked, this, &Frmreport::ButtnQuit_Click);
    connect(Cpageup, &QvButton::MouseDown, this, &Frmreport::Cpageup_MouseDown);
    connect(Cpagedown, &QvButton::MouseDown, this, &Frmreport::Cpagedown_MouseDown);
    connect(Combosf, &QComboBox::activated, this, &Frmreport::Combosf_Click);
    // A zoom typed into the box is taken with Enter; a text left without Enter, or one
    // that is no zoom, gives way to the zoom in use.
    connect(Combosf->lineEdit(), &QLineEdit::returnPressed, this, &Frmreport::Combosf_KeyEnter);
    connect(Combosf->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (loaded_
            && zoomPercent(Combosf->currentText()) != std::optional<double>(std::floor(settings_.zoom * 100 + 1e-9)))
            showZoomText();
    });
    connect(Cmdup, &QvButton::clicked, this, &Frmreport::Cmdup_Click);
    connect(Cmddown, &QvButton::clicked, this, &Frmreport::Cmddown_Click);

    Picprview = new PaintPanel(this);
    Picprview->setObjectName(QStringLiteral("Picprview"));
    Picprview->setGeometry(0, kToolHeight, width(), height() - kToolHeight);
    PicpaperFrame = new PaintPanel(Picprview);
    PicpaperFrame->setObjectName(QStringLiteral("PicpaperFrame"));
    Picpaper = new ReportPaperWidget(PicpaperFrame);
    Picpaper->setObjectName(QStringLiteral("Picpaper"));
    HScroll1 = new QvScrollBar(Qt::Horizontal, Picprview);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    VScroll1 = new QvScrollBar(Qt::Vertical, Picprview);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    ShapeJ = new PaintPanel(Picprview);
    ShapeJ->setObjectName(QStringLiteral("ShapeJ"));
    ShapeJ->resize(17, 17);
    connect(HScroll1, &QvScrollBar::Change, this, &Frmreport::HScroll1_Change);
    connect(VScroll1, &QvScrollBar::Change, this, &Frmreport::VScroll1_Change);
}

int Frmreport::showModally()
{
    if (!isVisible()) {
        // Maximised; without a window manager the state alone leaves the window at its size.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    try {
        Form_Load();
    } catch (...) {
        Form_Unload();
        throw;   // a failure while opening reaches the command that opened the window
    }
    Form_Resize();
    const int result = Opener::showModal(this);
    Form_Unload();
    return result;
}

// --- loading ---------------------------------------------------------------------------------

void Frmreport::Form_Load()
{
    HookReportWheel();
    ApplySkin();
    loaded_ = false;
    content_ = ReportContent();
    Labelpagecount->setText(QStringLiteral("共   页"));
    Labelpagedq->setText(QStringLiteral("第   页"));
    Combosf->clear();
    Combosf->setEditText(QString());
    for (QWidget* w :
         std::initializer_list<QWidget*>{CmdPrint, CmdPrintSet, Cpageup, Cpagedown, Combosf, Cmdup, Cmddown})
        w->setEnabled(true);
    PicpaperFrame->show();

    if (!loadReportRow())
        return;
    const QueryResult captions = ReportData::loadItemCaptions(itemCaptions_);
    if (captions.failed()) {
        failLoading(captions.description);
        return;
    }
    showFirstPage();
    Combosf->addItems({QStringLiteral("150%"), QStringLiteral("120%"), QStringLiteral("100%"), QStringLiteral("80%"),
                       QStringLiteral("65%"), QStringLiteral("55%")});
    Combosf->setCurrentIndex(-1);
    showZoomText();
    loaded_ = true;
}

bool Frmreport::loadReportRow()
{
    // The opener gives the key: the main list's current report or the editor's record.
    const QString key = reportKey_;
    const bool known = openStatus_ == QLatin1String("datarecord") || openStatus_ == QLatin1String("frmmain");
    // The key is a row number; anything else finds no report.
    static const QRegularExpression whole(QStringLiteral("^\\s*\\d{1,18}\\s*$"));
    if (!known || !whole.match(key).hasMatch()) {
        failLoading(QueryResult::kNoRows);
        return false;
    }
    const QueryResult r = ReportData::loadReport(key.trimmed().toLongLong(), content_);
    if (r.noRows() || (r.failed() && !r.data)) {
        failLoading(r.description);
        return false;
    }
    if (r.failed())
        MessageBox::critical(r.text(), MessageBox::kErrorTitle);   // a picture file; the page goes on without it
    return true;
}

void Frmreport::showFailures()
{
    for (const QString& text : renderer_.takeFailures())
        MessageBox::critical(text, MessageBox::kErrorTitle);
}

void Frmreport::failLoading(const QString& text)
{
    MessageBox::critical(text, MessageBox::kErrorTitle);
    for (QWidget* w : std::initializer_list<QWidget*>{CmdPrint, Cpageup, Cpagedown, Combosf, Cmdup, Cmddown})
        w->setEnabled(false);
    PicpaperFrame->hide();
    settings_.pageCount = 0;
    settings_.currentPage = 1;
}

void Frmreport::LoadPrintSettings()
{
    settings_.load(itemCaptions_);
    settings_.zoom = usableZoom(settings_.zoom);
}

void Frmreport::renderPreview(int page)
{
    renderer_.RenderReport(ReportRenderer::Mode::Preview, page, 0);
    showFailures();
    const QSizeF frame = renderer_.frameSize();
    const QRectF paper = renderer_.paperRect();
    PicpaperFrame->resize(std::max(1, toPx(frame.width())), std::max(1, toPx(frame.height())));
    Picpaper->move(toPx(paper.x()), toPx(paper.y()));
}

void Frmreport::showFirstPage()
{
    LoadPrintSettings();
    showLayoutFromFirstPage();
}

// Lays the report out afresh for the printer in use and shows its first page.
void Frmreport::showLayoutFromFirstPage()
{
    settings_.currentPage = 1;
    renderPreview(0);
    if (settings_.pageCount > 1)
        renderPreview(1);
    Cpageup->setEnabled(false);
    Cpagedown->setEnabled(settings_.pageCount > 1);
    showPageLabels();
}

void Frmreport::showPageLabels()
{
    Labelpagecount->setText(QStringLiteral("共") + ReportData::signedNumberText(settings_.pageCount)
                            + QStringLiteral(" 页"));
    Labelpagedq->setText(QStringLiteral("第") + ReportData::signedNumberText(settings_.currentPage)
                         + QStringLiteral(" 页"));
}

void Frmreport::showZoomText() { Combosf->setEditText(zoomText(settings_.zoom)); }

void Frmreport::Form_Unload()
{
    UnhookReportWheel();
    // The copies are the report's pictures decrypted: they do not stay on disk.
    ReportData::removePreviewPictures();
    content_.pictures = {};
    renderer_.clear();   // the report's texts and pictures do not outlive the window
}

// --- the pane ----------------------------------------------------------------------------------

void Frmreport::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void Frmreport::Form_Resize()
{
    if (!Picprview)
        return;   // still being built
    Pictool->setGeometry(0, 0, width(), kToolHeight);
    int paneHeight = Picprview->height();
    if (Units::twips(height()) > 4000)
        paneHeight = height() - kToolHeight;
    Picprview->setGeometry(0, height() - paneHeight, width(), paneHeight);
    LayoutPreview();
}

void Frmreport::Pictool_Resize()
{
    Skin::DrawToolbarLine(Pictool);
    ButtnQuit->move(Pictool->width() - ButtnQuit->width() - 16, ButtnQuit->y());
}

Frmreport::PaneLayout Frmreport::layoutFor(const QSizeF& pane, const QSizeF& frame)
{
    const double W = pane.width(), H = pane.height(), t = kScrollThickness;
    PaneLayout L;
    L.hscroll = QRectF(0, H - t, W - t, t);
    L.corner = QRectF(W - t, H - t, t, t);
    L.vscroll = QRectF(W - t, 0, t, H - t);
    if (frame.width() < W) {
        L.vscroll.setHeight(H);
        L.hVisible = false;
        L.frame.setX((W - frame.width()) / 2);
    } else {
        L.hVisible = true;
        L.vscroll.setHeight(H - t);
        L.frame.setX(0);
    }
    if (frame.height() < H) {
        L.hscroll.setWidth(W);
        L.vVisible = false;
        L.frame.setY((H - frame.height()) / 2);
    } else {
        L.hscroll.setWidth(W - t);
        L.vVisible = true;
        L.frame.setY(0);
    }
    L.hMax = int(Units::roundEven((frame.width() - W) / kScrollUnit + 1));
    L.vMax = int(Units::roundEven((frame.height() - H) / kScrollUnit + 1));
    return L;
}

void Frmreport::LayoutPreview()
{
    const QSizeF pane(toMm(Picprview->width()), toMm(Picprview->height()));
    const QSizeF frame = PicpaperFrame->isVisibleTo(Picprview) ? renderer_.frameSize() : QSizeF(0, 0);
    const PaneLayout L = layoutFor(pane, frame);
    HScroll1->setGeometry(toPx(L.hscroll));
    VScroll1->setGeometry(toPx(L.vscroll));
    ShapeJ->setGeometry(toPx(L.corner));
    HScroll1->setVisible(L.hVisible);
    VScroll1->setVisible(L.vVisible);
    ShapeJ->setVisible(L.hVisible && L.vVisible);
    for (QWidget* w : std::initializer_list<QWidget*>{HScroll1, VScroll1, ShapeJ})
        w->raise();
    frameBase_ = L.frame;
    PicpaperFrame->move(toPx(frameBase_.x()), toPx(frameBase_.y()));
    HScroll1->setMax(L.hMax);
    VScroll1->setMax(L.vMax);
    HScroll1->setValue(0);
    VScroll1->setValue(0);
}

// A page that fits keeps its centred place whatever a hidden bar's value is.
void Frmreport::HScroll1_Change()
{
    const double left = HScroll1->isVisibleTo(Picprview) ? -kScrollUnit * HScroll1->Value() : frameBase_.x();
    PicpaperFrame->move(toPx(left), PicpaperFrame->y());
}

void Frmreport::VScroll1_Change()
{
    const double top = VScroll1->isVisibleTo(Picprview) ? -kScrollUnit * VScroll1->Value() : frameBase_.y();
    PicpaperFrame->move(PicpaperFrame->x(), toPx(top));
}

// --- the wheel -----------------------------------------------------------------------------------

void Frmreport::HookReportWheel()
{
    if (!hooked_)
        qApp->installEventFilter(this);
    hooked_ = true;
}

void Frmreport::UnhookReportWheel()
{
    if (hooked_)
        qApp->removeEventFilter(this);
    hooked_ = false;
}

bool Frmreport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w == this || isAncestorOf(w)) {
            ReportWheelProc(static_cast<QWheelEvent*>(event)->angleDelta().y());
            return true;   // the wheel scrolls the page and nothing else
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Frmreport::ReportWheelProc(int delta)
{
    // One notch (120) is one scroll step; turning away from the user moves toward the top.
    VScroll1->setValue(VScroll1->Value() - delta / 120);
}

// --- paging and zoom -----------------------------------------------------------------------------

void Frmreport::Cpagedown_MouseDown(int button, int, int, int)
{
    if (button != 1)
        return;
    if (settings_.currentPage >= 1 && settings_.currentPage < settings_.pageCount) {
        settings_.currentPage += 1;
        Cpageup->setEnabled(true);
        renderPreview(settings_.currentPage);
    }
    if (settings_.currentPage == settings_.pageCount)
        Cpagedown->setEnabled(false);
    showPageLabels();
}

void Frmreport::Cpageup_MouseDown(int button, int, int, int)
{
    if (button != 1)
        return;
    if (settings_.currentPage >= 2 && settings_.currentPage <= settings_.pageCount) {
        settings_.currentPage -= 1;
        Cpagedown->setEnabled(true);
        renderPreview(settings_.currentPage);
    }
    if (settings_.currentPage == 1)
        Cpageup->setEnabled(false);
    showPageLabels();
}

void Frmreport::Combosf_Click()
{
    if (!loaded_)
        return;
    const auto p = zoomPercent(Combosf->currentText());
    if (!p || std::floor(*p) < 1) {
        showZoomText();   // not a zoom: the one in use stays
        return;
    }
    settings_.zoom = std::floor(*p) / 100;
    renderPreview(settings_.currentPage);
    LayoutPreview();
}

void Frmreport::Combosf_KeyEnter()
{
    if (!loaded_)
        return;
    const auto p = zoomPercent(Combosf->currentText());
    if (!p || std::floor(*p) < 1) {
        showZoomText();
        return;
    }
    const double zoom = std::floor(*p) / 100;
    if (zoom != settings_.zoom) {   // a list entry typed whole has been taken by the list already
        settings_.zoom = zoom;
        renderPreview(settings_.currentPage);
        LayoutPreview();
    }
    showZoomText();
}

void Frmreport::Cmdup_Click() { zoomBy(+1); }
void Frmreport::Cmddown_Click() { zoomBy(-1); }

void Frmreport::zoomBy(int step)
{
    if (!loaded_)
        return;
    // A text that is no zoom counts as the zoom in use.
    const double p = zoomPercent(Combosf->currentText()).value_or(double(float(settings_.zoom) * 100.0f));
    const int next = 5 * int(std::floor(p / 5)) + 5 * step;
    if (step > 0) {
        if (next > 150) {
            Cmdup->setEnabled(false);
            return;
        }
        if (next > 55)
            Cmddown->setEnabled(true);
    } else {
        if (next < 55) {
            Cmddown->setEnabled(false);
            return;
        }
        if (next < 150)
            Cmdup->setEnabled(true);
    }
    settings_.zoom = next / 100.0;
    Combosf->setEditText(QString::number(next) + QLatin1Char('%'));
    renderPreview(settings_.currentPage);
    LayoutPreview();
}

// --- printing and settings --------------------------------------------------------------------

void Frmreport::CmdPrint_Click()
{
    if (!loaded_)
        return;
    // The stored paper and modes again on the printer in use; the preview stays as it is.
    // With none (the print service was not running when the preview opened), the stored
    // printer is looked for again first.
    if (ProgramPrinter::instance().hasPrinter())
        settings_.applyModesToPrinter();
    else
        settings_.applyToPrinter();
    if (!renderer_.layoutIsCurrent()) {
        // Another printer was chosen in 打印设置 and the dialog left without saving: its
        // page differs from the one the preview shows, so the preview is laid out for it
        // first and what is printed is what is shown.
        showLayoutFromFirstPage();
        LayoutPreview();
    }
    const int pages = settings_.pageCount, page = settings_.currentPage;
    renderer_.RenderReport(ReportRenderer::Mode::Print, 1, 0);
    showFailures();
    settings_.pageCount = pages;
    settings_.currentPage = page;
}

void Frmreport::CmdPrintSet_Click()
{
    Frmprintset& dialog = Frmprintset::instance();
    setEnabled(false);
    dialog.showModally();
    setEnabled(true);
    if (!dialog.Bset() || !loaded_)
        return;
    showFirstPage();
    showZoomText();
    LayoutPreview();
}

void Frmreport::ButtnQuit_Click() { reject(); }

// --- skin --------------------------------------------------------------------------------------

void Frmreport::ApplySkin()
{
    using namespace Palette;
    Skin::SetBackColor(this, gPanelBackColor);
    Skin::SetBackColor(Pictool, gToolBackColor);
    Skin::SetBackColor(Picprview, gPanelBackColor);
    HScroll1->setBackColor(gToolBackColor);
    VScroll1->setBackColor(gToolBackColor);
    Skin::SetBackColor(ShapeJ, gToolBackColor);
    Skin::DrawToolbarLine(Pictool);
    // Line1 between the print buttons and the pages, Shape1 around the pages, Shape2 around the zoom.
    Pictool->setDrawing(QStringLiteral("shapes"), [](QPainter& p, const QSize& s, const QFont&) {
        p.setPen(ToQColor(gLineColor));
        p.drawLine(174, 6, 174, s.height() - 7);
        p.drawRect(180, 3, 266, s.height() - 7);
        p.drawRect(456, 3, 200, s.height() - 7);
    });
    Skin::SetBackColor(PicpaperFrame, RGB(255, 255, 255));
    Skin::DrawDataFrame(PicpaperFrame);
    for (QvButton* b : {Cpageup, Cpagedown})
        Skin::DialogScheme(b);
    for (QvButton* b : {CmdPrintSet, CmdPrint, ButtnQuit})
        Skin::ToolbarScheme(b);
    for (QvButton* b : {Cmdup, Cmddown})
        Skin::DialogScheme(b);
}
