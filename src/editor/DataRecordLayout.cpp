// The editor's controls in their places, the two view pages and the
// panel geometry (frames, caption strips, the status strip).
#include "editor/DataRecord.h"

#include "core/Palette.h"
#include "core/SkinPaint.h"
#include "core/SkinWindows.h"
#include "imaging/VideoCapture.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>

#include <limits>

using namespace EditorGeometry;

using Units::place;

namespace {
QLabel* makeLabel(QWidget* parent, const QString& caption, int l, int t, int w, int h = 255)
{
    auto* lb = new QLabel(caption, parent);
    lb->setGeometry(pxRect(l, t, w, h));
    lb->setAttribute(Qt::WA_TranslucentBackground);
    return lb;
}

// A button of the column on the video panel and on the capture store's.
QvButton* makeSideButton(QWidget* panel, const QString& caption, int l, int t)
{
    return place(new QvButton(caption, panel), l, t, 1215, 375);
}

// Record boxes hold whatever the record holds: a stored text longer than the
// line edit's default limit of 32767 characters must not be cut on loading,
// or the next save would store the cut text.
constexpr int kUnlimited = std::numeric_limits<int>::max();

QLineEdit* makeEdit(QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setMaxLength(kUnlimited);
    return e;
}

QComboBox* makeCombo(QWidget* parent)
{
    auto* c = new QComboBox(parent);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->lineEdit()->setMaxLength(kUnlimited);
    // When its line edit finishes (Enter, or the focus leaving), a combo box
    // looks for a list entry matching the text and reports it as chosen, as
    // if the user had picked it: the body part's choice would then append
    // the part shown once more. Here a choice is made from the list only.
    QObject::disconnect(c->lineEdit(), &QLineEdit::editingFinished, c, nullptr);
    return c;
}

QFrame* makeLine(QWidget* parent, bool vertical)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
    f->setFrameShadow(QFrame::Plain);
    return f;
}

// A selection frame: an outline drawn under its picture box.
class SelectionFrame : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QPen(QColor(255, 0, 0), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
};

}

void DataRecord::buildControls()
{
    delete form_;
    form_ = new QWidget(this);
    form_->setGeometry(0, 0, width(), height());
    btnTS.clear();
    Labelzych.clear();

    buildToolBar();
    buildRecordColumn();
    buildReportPage();
    buildVideoPage();
    buildReportPictures();
    Picbottom = place(new PaintPanel(form_), 0, 10095, 15240, 495);

    // The starting state: record controls disabled, command buttons enabled, the
    // video off and nothing selected; the load then applies the rights.
    state_ = EditState{};
    templateRight_ = videoRight_ = true;
    videoOn_ = false;
    storeSelected_ = reportSelected_ = false;
    applyState();

    connect(ButtnNew, &QAbstractButton::clicked, this, &DataRecord::ButtnNew_Click);
    connect(ButtnEnable, &QAbstractButton::clicked, this, &DataRecord::ButtnEnable_Click);
    connect(ButtnDel, &QAbstractButton::clicked, this, &DataRecord::ButtnDel_Click);
    connect(ButtnPrint, &QAbstractButton::clicked, this, &DataRecord::ButtnPrint_Click);
    connect(ButtnSave, &QAbstractButton::clicked, this, &DataRecord::ButtnSave_Click);
    connect(ButtnClear, &QAbstractButton::clicked, this, &DataRecord::ButtnClear_Click);
    connect(ButtnBack, &QAbstractButton::clicked, this, &DataRecord::ButtnBack_Click);
    connect(Buttnmbzr, &QAbstractButton::clicked, this, &DataRecord::Buttnmbzr_Click);
    connect(Buttninfo, &QAbstractButton::clicked, this, &DataRecord::Buttninfo_Click);
    connect(Buttnpic, &QAbstractButton::clicked, this, &DataRecord::Buttnpic_Click);
    connect(btnYC, &QAbstractButton::clicked, this, &DataRecord::btnYC_Click);
    connect(ButtonConvert, &QAbstractButton::clicked, this, &DataRecord::ButtonConvert_Click);

    // The lists would take F2 for themselves; the window sees it first.
    TreeMS->installEventFilter(this);
    Gridms->installEventFilter(this);

    panels_.Picpic = QRect(2880, 1400, 9660, 8760);
    panels_.Picdata2 = QRect(2880, 1400, 9615, 8430);
    panels_.Picdata = QRect(60, 1080, 2760, 9000);
    panels_.RptPictureBox = QRect(12480, 1080, 2760, 8880);
    panels_.Pictitle = QRect(2880, 1080, 9855, 330);
    panels_.PicbottomHeight = 495;
    buildAids();
    nameControls();
    wireCapture();
}

// The tool bar: the record commands.
void DataRecord::buildToolBar()
{
    Pictool = place(new PaintPanel(form_), 0, 0, 15240, 1020);
    auto toolButton = [this](const QString& caption, int left) {
        return place(new QvButton(caption, Pictool), left, 60, 870, 870);
    };
    ButtnNew = toolButton(QStringLiteral("新建报告"), 120);
    ButtnEnable = toolButton(QStringLiteral("修改报告"), 1005);
    ButtnDel = toolButton(QStringLiteral("删除报告"), 1890);
    ButtnPrint = toolButton(QStringLiteral("打印报告"), 2775);
    ButtnClear = toolButton(QStringLiteral("清空数据"), 3660);
    ButtnSave = toolButton(QStringLiteral("保存报告"), 4545);
    Buttnmbzr = toolButton(QStringLiteral("载入模板"), 5835);
    ButtnSwmb = toolButton(QStringLiteral("设为模板"), 6720);
    ButtnBack = toolButton(QStringLiteral("退 出"), 8040);
    Linetool1 = place(makeLine(Pictool, true), 5625, 120, 30, 750);
    Linetool2 = place(makeLine(Pictool, true), 7815, 120, 30, 750);
}

// The basic-information column: the record fields and their labels.
void DataRecord::buildRecordColumn()
{
    Picdata = place(new PaintPanel(form_), 60, 1080, 2760, 9000);
    struct Row {
        QLabel** label;
        int field;
        int labelTop;
        int labelWidth;
        int fieldTop;
    };
    const Row rows[] = {
        {&Label1, ReportRecord::obligate5, 585, 1335, 540},
        {&Label2, ReportRecord::brname, 975, 1215, 928},
        {&Label3, ReportRecord::sex, 1365, 1215, 1316},
        {&Label4, ReportRecord::age, 1755, 1215, 1704},
        {&Label5, ReportRecord::bedid, 2130, 1215, 2092},
        {&Label6, ReportRecord::sectionoffice, 2520, 1215, 2480},
        {&Label7, ReportRecord::utpatientid, 2910, 1215, 2868},
        {&Label32, ReportRecord::obligate2, 3300, 1095, 3256},
        {&Label8, ReportRecord::inpatientid, 3690, 1215, 3644},
        {&Label33, ReportRecord::obligate3, 4080, 1095, 4032},
        {&Label9, ReportRecord::pgdate, 4470, 1215, 4420},
        {&Label10, ReportRecord::obligate1, 4860, 1215, 4808},
        {&Label12, ReportRecord::rpdr, 5235, 1215, 5196},
        {&Label11, ReportRecord::pgdr, 5625, 1215, 5584},
        {&Label13, ReportRecord::times, 6015, 1215, 5972},
        {&Label34, ReportRecord::obligate4, 6405, 1095, 6360},
        {&Label14, ReportRecord::checktechnique, 6780, 1095, 6735},
    };
    Text1 = makeEdit(Picdata);
    Text2 = makeEdit(Picdata);
    Text3 = makeCombo(Picdata);
    Text4 = makeEdit(Picdata);
    ComboAge = makeCombo(Picdata);
    Text5 = makeEdit(Picdata);
    Text6 = makeCombo(Picdata);
    Text7 = makeCombo(Picdata);
    Text17 = makeEdit(Picdata);
    Text8 = makeEdit(Picdata);
    Text18 = makeEdit(Picdata);
    Text9 = makeEdit(Picdata);
    Text10 = makeEdit(Picdata);
    Text12 = makeCombo(Picdata);
    Text11 = makeCombo(Picdata);
    Text13 = makeEdit(Picdata);
    Text19 = makeEdit(Picdata);
    Combojs = makeCombo(Picdata);
    for (const Row& r : rows) {
        *r.label = makeLabel(Picdata, ReportRecord::DesignLabel(r.field), 120, r.labelTop, r.labelWidth);
        place(control(r.field), 1080, r.fieldTop, r.field == ReportRecord::age ? 660 : 1455, 330);
    }
    place(ComboAge, 1800, 1704, 735, 330);
    PicdataLine = makeLine(Picdata, false);
}

// The page buttons and page 0: the report texts and the side panel.
void DataRecord::buildReportPage()
{
    Pictitle = place(new PaintPanel(form_), 2880, 1080, 9855, 330);
    Buttninfo = place(new QvButton(QStringLiteral("报告描述"), Pictitle), 0, 0, 3000, 360);
    Buttnpic = place(new QvButton(QStringLiteral("视频图像"), Pictitle), 3030, 0, 3000, 360);

    // Page 0: report text and the side panel.
    Picdata2 = place(new PaintPanel(form_), 2880, 1400, 9615, 8430);
    Label18 = makeLabel(Picdata2, ReportRecord::DesignLabel(ReportRecord::part), 240, 255, 1095);
    Combopart = place(makeCombo(Picdata2), 1200, 210, 3255, 330);
    Label16 = makeLabel(Picdata2, ReportRecord::DesignLabel(ReportRecord::checkname), 4680, 255, 1095);
    Text14 = place(makeEdit(Picdata2), 5640, 210, 3930, 330);
    Label15 = makeLabel(Picdata2, ReportRecord::DesignLabel(ReportRecord::checksymptom), 240, 645, 1095);
    Text15 = place(new QPlainTextEdit(Picdata2), 1200, 615, 8370, 3360);
    Label17 = makeLabel(Picdata2, ReportRecord::DesignLabel(ReportRecord::checkconclusion), 240, 4080, 1095);
    Text16 = place(new QPlainTextEdit(Picdata2), 1200, 4050, 8370, 1380);
    for (QWidget* field : inputControls())
        keepLegibleWhenDisabled(field);
    keepLegibleWhenDisabled(Text12);
    PicmcRect = place(new PaintPanel(Picdata2), 15, 5580, 9375, 3015);
    btnYC = place(new QvButton(QStringLiteral("采图预存区"), PicmcRect), -10, 0, 1095, 330);
    btnCK = place(new QvButton(QStringLiteral("智能词库"), PicmcRect), 1143, 0, 1095, 330);
    btnFH = place(new QvButton(QStringLiteral("特殊符号"), PicmcRect), 2296, 0, 1095, 330);
    btnMS = place(new QvButton(QStringLiteral("常用描述"), PicmcRect), 3450, 0, 1095, 330);
    butnCKup = place(new QvButton(QStringLiteral("▲"), PicmcRect), 4710, 30, 270, 270);
    butnCKdown = place(new QvButton(QStringLiteral("▼"), PicmcRect), 4995, 30, 270, 270);
    Picmc = place(new PaintPanel(PicmcRect), 0, 330, 9375, 1935);
    Picms = place(new PaintPanel(Picmc), 0, 0, 9375, 1935);
    Picts = place(new PaintPanel(Picmc), 0, 0, 9375, 1935);
    Piczymc = place(new PaintPanel(Picmc), 0, 0, 9375, 1935);
    TreeMS = place(new QTreeWidget(Picms), 0, 0, 2100, 1935);
    TreeMS->setHeaderHidden(true);
    Gridms = place(new QTableWidget(Picms), 2130, 0, 7245, 1935);
    Gridms->horizontalHeader()->setVisible(false);
    Gridms->verticalHeader()->setVisible(false);
    btnTS.append(place(new QvButton(QString(), Picts), 30, 30, 1200, 360));
    Labelzych.append(makeLabel(Piczymc, QString(), 60, 30, 1500));
}

// Page 1: the video and its buttons; the capture store below it.
void DataRecord::buildVideoPage()
{
    Picpic = place(new PaintPanel(form_), 2880, 1400, 9660, 8760);
    PicVideo = place(new QWidget(Picpic), 15, 15, 7560, 5760);
    PicVideo->setAutoFillBackground(true);
    {
        QPalette pal = PicVideo->palette();
        pal.setColor(QPalette::Window, Qt::black);
        PicVideo->setPalette(pal);
    }
    VideoCapture1 = new VideoCapture(PicVideo);
    VideoCapture1->setGeometry(2, 2, PicVideo->width() - 4, PicVideo->height() - 4);
    BVidOn = makeSideButton(Picpic, QStringLiteral("开启视频"), 8040, 240);
    BVidForm = makeSideButton(Picpic, QStringLiteral("视频格式"), 8040, 720);
    BVidSet = makeSideButton(Picpic, QStringLiteral("设 置"), 8040, 1200);
    Bcodec = makeSideButton(Picpic, QStringLiteral("视频压缩"), 8040, 1920);
    BVidavi = makeSideButton(Picpic, QStringLiteral("开始录像"), 8040, 2400);
    Label19 = makeLabel(Picpic, QStringLiteral("支持脚踏开关"), 8085, 3540, 1215);
    PicRect = place(new PaintPanel(Picpic), 15, 5580, 9480, 390);

    // Capture store.
    Picyc = place(new PaintPanel(form_), 2880, 7320, 9495, 2830);
    Picyc2 = place(new PaintPanel(Picyc), 0, 0, 7425, 2820);
    Picyc3 = place(new PaintPanel(Picyc), 7560, 0, 1695, 2775);
    for (int k = 0; k < 18; ++k) {
        const int l = 45 + (k % 6) * 1230;
        const int t = 45 + (k / 6) * 915;
        ShapeSel[size_t(k)] = place(new SelectionFrame(Picyc2), l - 15, t - 15, 1200, 900);
        ShapeSel[size_t(k)]->hide();
        Pictmp[size_t(k)] = place(new EdPicture(Picyc2), l, t, 1155, 855);
    }
    BVidCapture = makeSideButton(Picyc3, QStringLiteral("截图(F9)"), 360, 120);
    ButtonAddPic = makeSideButton(Picyc3, QStringLiteral("加入报告"), 360, 840);
    Bpicview1 = makeSideButton(Picyc3, QStringLiteral("查看图像"), 360, 1320);
    ButtonDelPic = makeSideButton(Picyc3, QStringLiteral("删除图像"), 360, 1800);
    ButtonConvert = makeSideButton(Picyc3, QStringLiteral("转换图像"), 360, 2280);
}

// The four report pictures and their buttons.
void DataRecord::buildReportPictures()
{
    RptPictureBox = place(new PaintPanel(form_), 12480, 1080, 2760, 8880);
    const int slotTops[4] = {960, 2880, 4800, 6735};
    for (int k = 0; k < 4; ++k) {
        ShapeSelR[size_t(k)] = place(new SelectionFrame(RptPictureBox), 180, slotTops[k] - 15, 2445, 1845);
        ShapeSelR[size_t(k)]->hide();
        Picload[size_t(k)] = place(new EdPicture(RptPictureBox), 195, slotTops[k], 2400, 1800);
    }
    Bpicback = place(new QvButton(QString::fromUtf8("↩"), RptPictureBox), 1560, 360, 315, 315);
    Bpicview2 = place(new QvButton(QString::fromUtf8("□"), RptPictureBox), 1935, 360, 315, 315);
    ButtonDelPicR = place(new QvButton(QString::fromUtf8("×"), RptPictureBox), 2310, 360, 315, 315);
    RptPictureBoxLine = makeLine(RptPictureBox, false);
}

// Every control carries its name, so tests and debugging tools find it
// by name; the elements of a control array are "Name(index)".
void DataRecord::nameControls()
{
    // clang-format off
#define WS_NAME(control) control->setObjectName(QStringLiteral(#control))
    WS_NAME(Pictool); WS_NAME(ButtnNew); WS_NAME(ButtnEnable); WS_NAME(ButtnDel); WS_NAME(ButtnPrint);
    WS_NAME(ButtnClear); WS_NAME(ButtnSave); WS_NAME(Buttnmbzr); WS_NAME(ButtnSwmb); WS_NAME(ButtnBack);
    WS_NAME(Linetool1); WS_NAME(Linetool2);
    WS_NAME(Picdata); WS_NAME(PicdataLine);
    WS_NAME(Text1); WS_NAME(Text2); WS_NAME(Text3); WS_NAME(Text4); WS_NAME(Text5); WS_NAME(Text6);
    WS_NAME(Text7); WS_NAME(Text8); WS_NAME(Text9); WS_NAME(Text10); WS_NAME(Text11); WS_NAME(Text12);
    WS_NAME(Text13); WS_NAME(Text14); WS_NAME(Text15); WS_NAME(Text16); WS_NAME(Text17); WS_NAME(Text18);
    WS_NAME(Text19); WS_NAME(ComboAge); WS_NAME(Combopart); WS_NAME(Combojs);
    WS_NAME(Label1); WS_NAME(Label2); WS_NAME(Label3); WS_NAME(Label4); WS_NAME(Label5); WS_NAME(Label6);
    WS_NAME(Label7); WS_NAME(Label8); WS_NAME(Label9); WS_NAME(Label10); WS_NAME(Label11); WS_NAME(Label12);
    WS_NAME(Label13); WS_NAME(Label14); WS_NAME(Label15); WS_NAME(Label16); WS_NAME(Label17); WS_NAME(Label18);
    WS_NAME(Label19); WS_NAME(Label32); WS_NAME(Label33); WS_NAME(Label34);
    WS_NAME(Pictitle); WS_NAME(Buttninfo); WS_NAME(Buttnpic);
    WS_NAME(Picdata2); WS_NAME(PicmcRect); WS_NAME(Picmc); WS_NAME(btnYC); WS_NAME(btnCK); WS_NAME(btnFH);
    WS_NAME(btnMS); WS_NAME(butnCKup); WS_NAME(butnCKdown); WS_NAME(Picms); WS_NAME(Picts); WS_NAME(Piczymc);
    WS_NAME(TreeMS); WS_NAME(Gridms); WS_NAME(Textedit);
    WS_NAME(Picpic); WS_NAME(PicVideo); WS_NAME(VideoCapture1); WS_NAME(BVidOn); WS_NAME(BVidForm);
    WS_NAME(BVidSet); WS_NAME(Bcodec); WS_NAME(BVidavi); WS_NAME(PicRect);
    WS_NAME(Picyc); WS_NAME(Picyc2); WS_NAME(Picyc3); WS_NAME(BVidCapture); WS_NAME(ButtonAddPic);
    WS_NAME(Bpicview1); WS_NAME(ButtonDelPic); WS_NAME(ButtonConvert);
    WS_NAME(RptPictureBox); WS_NAME(RptPictureBoxLine); WS_NAME(Bpicback); WS_NAME(Bpicview2);
    WS_NAME(ButtonDelPicR); WS_NAME(Picbottom);
#undef WS_NAME
    // clang-format on
    auto nameArray = [](const auto& controls, const QString& name) {
        for (int k = 0; k < int(std::size(controls)); ++k)
            nameElement(controls[k], name, k);
    };
    nameArray(Pictmp, QStringLiteral("Pictmp"));
    nameArray(ShapeSel, QStringLiteral("ShapeSel"));
    nameArray(Picload, QStringLiteral("Picload"));
    nameArray(ShapeSelR, QStringLiteral("ShapeSelR"));
    nameArray(btnTS, QStringLiteral("btnTS"));
    nameArray(Labelzych, QStringLiteral("Labelzych"));
}

// Applies the window-level rectangles (twips) to the panels.
void DataRecord::placePanels()
{
    auto apply = [](QWidget* w, const QRect& tw) {
        w->setGeometry(pxRect(tw.left(), tw.top(), tw.width(), tw.height()));
    };
    apply(Picpic, panels_.Picpic);
    Picpic_Resize();
    apply(Picdata2, panels_.Picdata2);
    Picdata2_Resize();
    apply(Picdata, panels_.Picdata);
    Picdata_Resize();
    apply(RptPictureBox, panels_.RptPictureBox);
    RptPictureBox_Resize();
    apply(Pictitle, panels_.Pictitle);
}

void DataRecord::Form_Resize()
{
    if (!loaded_ || !form_)
        return;
    form_->setGeometry(0, 0, width(), height());
    const QSize outer = isVisible() ? frameGeometry().size() : size();
    WindowSize w;
    w.outerWidth = outer.width() * kTwipsPerPixel;
    w.outerHeight = outer.height() * kTwipsPerPixel;
    w.scaleWidth = width() * kTwipsPerPixel;
    w.scaleHeight = height() * kTwipsPerPixel;
    FormResizePanels(panels_, w, layoutMode_, pageFlag_);
    Pictool->setGeometry(0, 0, width(), Pictool->height());
    Pictool_Resize();
    Picbottom->setGeometry(0, height() - Picbottom->height(), width(), Picbottom->height());
    Picbottom_Resize();
    placePanels();
    placeStoreAndVideo();
}

// The capture store over the page shown, then the video box in the room the
// store leaves on the picture page: both follow the panels just placed, so the
// video never reaches under the caption strip above the store.
void DataRecord::placeStoreAndVideo()
{
    const int page = pageFlag_;
    const bool known = page == 0 || page == 1;
    const QRect pageRect = page == 0 ? panels_.Picdata2 : panels_.Picpic;
    auto place = [&](int videoWidth) {
        return PlaceStore(page, pageRect, PicmcRect->y(), PicmcRect->height() * kTwipsPerPixel, videoWidth);
    };
    const int storeHeight = known ? px(place(PicVideo->width()).picyc.height()) : Picyc->height();
    const VideoArea v = VideoAreaFor(Picpic->width(), Picpic->height(), storeHeight, BVidOn->width());
    PicVideo->resize(v.width, v.height);
    VideoCapture1->setGeometry(2, 2, v.vfwWidth, v.vfwHeight);
    for (QvButton* b : {BVidOn, BVidForm, BVidSet, Bcodec, BVidavi})
        b->move(v.buttonsLeft, b->y());
    // The foot-switch note stays under the buttons rather than behind a wider video.
    Label19->move(v.buttonsLeft + px(8085 - 8040), Label19->y());
    if (!known)
        return;
    const StorePlacement s = place(v.width);
    Picyc->setGeometry(pxRect(s.picyc.left(), s.picyc.top(), s.picyc.width(), s.picyc.height()));
    Picyc2->resize(s.picyc2Width, Picyc->height());
    Picyc3->move(s.picyc3Left, Picyc3->y());
}

void DataRecord::Picdata_Resize()
{
    // The side edges come with the caption strip, which follows the panel's size.
    PicdataLine->setGeometry(0, Picdata->height() - 1, Picdata->width(), 1);
}

void DataRecord::RptPictureBox_Resize()
{
    RptPictureBoxLine->setGeometry(0, RptPictureBox->height() - 1, RptPictureBox->width(), 1);
}

void DataRecord::Picdata2_Resize()
{
    Picdata2->setDrawing(QStringLiteral("frame"), [](QPainter& p, const QSize& s, const QFont&) {
        const int sw = s.width(), sh = s.height();
        p.setPen(EditorColors::line());
        p.drawLine(198, 0, sw, 0);
        p.drawLine(0, 0, 0, sh - 1);
        p.drawLine(0, sh - 1, sw, sh - 1);
        p.drawLine(sw - 1, 0, sw - 1, sh);
    });
    const int sw = Picdata2->width();
    const int sh = Picdata2->height();
    if (sw > 1) {
        PicmcRect->resize(sw - 2, PicmcRect->height());
        for (QWidget* w : {static_cast<QWidget*>(Picmc), static_cast<QWidget*>(Piczymc), static_cast<QWidget*>(Picts),
                           static_cast<QWidget*>(Picms)})
            w->resize(PicmcRect->width(), w->height());
        Gridms->resize(Picms->width() - Gridms->x(), Gridms->height());
        if (layoutMode_ == 1) {
            for (QWidget* w :
                 {static_cast<QWidget*>(Text14), static_cast<QWidget*>(Text15), static_cast<QWidget*>(Text16)})
                w->resize(sw - w->x() - 5, w->height());
        }
    }
    if (SidePanelFollowsHeight(PicmcRect->y(), sh)) {
        PicmcRect->resize(PicmcRect->width(), sh - PicmcRect->y() - 1);
        Picmc->resize(Picmc->width(), PicmcRect->height() - px(330));
        Picts->resize(Picts->width(), Picmc->height() - Picts->y());
        Picms->resize(Picms->width(), Picts->height());
        TreeMS->resize(TreeMS->width(), Picms->height());
        Gridms->resize(Gridms->width(), Picms->height());
    }
    PicmcRect_Resize();
}

void DataRecord::Picpic_Resize()
{
    if (Picpic->width() > 1)
        PicRect->resize(Picpic->width() - 2, PicRect->height());
    Picpic->setDrawing(QStringLiteral("frame"), [](QPainter& p, const QSize& s, const QFont&) {
        const int sw = s.width(), sh = s.height();
        p.setPen(EditorColors::line());
        p.drawLine(0, 0, 203, 0);
        p.drawLine(400, 0, sw, 0);
        p.drawLine(0, 0, 0, sh - 1);
        p.drawLine(0, sh - 1, sw, sh - 1);
        p.drawLine(sw - 1, 0, sw - 1, sh - 1);
    });
    PicRect_Resize();
}

void DataRecord::PicmcRect_Resize()
{
    Skin::SetBackColor(PicmcRect, Palette::gFormBackColor);
    PicmcRect->setDrawing(QStringLiteral("strip"), [](QPainter& p, const QSize& s, const QFont& f) {
        Skin::PaintEditorCaptionStrip(p, s, QString(), f);
    });
}

void DataRecord::PicRect_Resize()
{
    // The strip is shorter than the panel: the rows below it take the page's colour.
    Skin::SetBackColor(PicRect, Palette::gPanelBackColor);
    PicRect->setDrawing(QStringLiteral("strip"), [](QPainter& p, const QSize& s, const QFont& f) {
        Skin::PaintEditorCaptionStrip(p, s, QStringLiteral("采图预存区"), f);
    });
}

void DataRecord::Pictool_Resize() { Skin::DrawToolbarLine(Pictool); }

void DataRecord::Picbottom_Resize() { Skin::LayoutBottomBar(Picbottom); }

void DataRecord::ApplySkin()
{
    Skin::DataRecordSkin s;
    s.window = this;
    s.Pictitle = Pictitle;
    s.Pictool = Pictool;
    s.Picpic = Picpic;
    s.Picdata = Picdata;
    s.Picdata2 = Picdata2;
    s.RptPictureBox = RptPictureBox;
    s.Picmc = Picmc;
    s.Picts = Picts;
    s.Picms = Picms;
    s.Picyc3 = Picyc3;
    s.Picyc = Picyc;
    s.Linetool1 = Linetool1;
    s.Linetool2 = Linetool2;
    for (int k = 0; k < 4; ++k)
        s.Picload[size_t(k)] = Picload[size_t(k)];
    s.PicdataLine = PicdataLine;
    s.RptPictureBoxLine = RptPictureBoxLine;
    s.Picbottom = Picbottom;
    s.toolbarButtons = {ButtnNew,  ButtnEnable, ButtnSave, ButtnDel,  ButtnPrint,
                        Buttnmbzr, ButtnSwmb,   ButtnBack, ButtnClear};
    s.dialogButtons = {BVidOn,       BVidForm,      BVidSet,       ButtonAddPic, BVidCapture, Bpicview1, Bpicview2,
                       ButtonDelPic, ButtonDelPicR, ButtonConvert, BVidavi,      Bcodec,      Bpicback};
    s.tabButtons = {Buttninfo, Buttnpic, btnMS, btnFH, btnCK, btnYC};
    Skin::DataRecordApplySkin(s);
    Skin::SetBackColor(Picyc2, Palette::gPanelBackColor);
    for (EdPicture* p : Pictmp)
        Skin::SetBackColor(p, Palette::gPanelBackColor);
    Picdata_Resize();
    RptPictureBox_Resize();
    Picdata2_Resize();
    Picpic_Resize();
}

void DataRecord::colourPageButtons()
{
    // The page not shown is coloured first.
    if (pageFlag_ == 0) {
        Skin::SetPageButtonColors(Buttnpic, false);
        Skin::SetPageButtonColors(Buttninfo, true);
    } else {
        Skin::SetPageButtonColors(Buttninfo, false);
        Skin::SetPageButtonColors(Buttnpic, true);
    }
}

void DataRecord::Buttninfo_Click()
{
    if (pageFlag_ != 0) {
        pageFlag_ = 0;
        ShowViewPanels();
    }
}

void DataRecord::Buttnpic_Click()
{
    if (pageFlag_ != 1) {
        pageFlag_ = 1;
        ShowViewPanels();
    }
}

void DataRecord::ShowViewPanels()
{
    if (!loaded_ || (pageFlag_ != 0 && pageFlag_ != 1))
        return;
    const int page = pageFlag_;
    if (page == 0) {
        if (sidePanelTab_ != 3)
            Picyc->setVisible(false);
    } else {
        Picyc->setVisible(true);
    }
    colourPageButtons();
    Picdata2->setVisible(page == 0);
    Picpic->setVisible(page == 1);
    if (layoutMode_ == 0) {
        const QRect pageRect = page == 0 ? panels_.Picdata2 : panels_.Picpic;
        panels_.RptPictureBox.moveLeft(pageRect.left() + pageRect.width() + 60);
        RptPictureBox->move(px(panels_.RptPictureBox.left()), RptPictureBox->y());
    }
    placeStoreAndVideo();
    Picyc->raise();
}

void DataRecord::btnYC_Click()
{
    // The capture-store tab: shows the store over the side panel, whose
    // pages stay as they are under it.
    Picyc->setVisible(true);
    Picyc->raise();
    sidePanelTab_ = 3;
    colourSideTabs(btnYC);
}
