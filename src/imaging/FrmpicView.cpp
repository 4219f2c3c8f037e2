#include "imaging/FrmpicView.h"

#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "imaging/CaptureStore.h"
#include "platform/AppError.h"
#include "platform/MessageBox.h"
#include "platform/Units.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include <cmath>

namespace {
constexpr int kTwips = Units::kTwipsPerPixel;
using Units::px;

const QString kNoPicture = QStringLiteral("当前没有图像载入！");
}

namespace {
FrmpicView* theWindow = nullptr;
}

FrmpicView& FrmpicView::instance()
{
    if (!theWindow)
        theWindow = new FrmpicView();
    return *theWindow;
}

void FrmpicView::discardInstance() { delete std::exchange(theWindow, nullptr); }

FrmpicView::FrmpicView() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("图像浏览"));
    resize(720, 540);
    Pictool = new PaintPanel(this);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(0, 0, width(), 42);
    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QvButton(caption, Pictool);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 7, 80, 28);
        return b;
    };
    Bup = button("Bup", QStringLiteral("上一张"), 8);
    Bdown = button("Bdown", QStringLiteral("下一张"), 94);
    Badd = button("Badd", QStringLiteral("加入报告"), 180);
    Bdel = button("Bdel", QStringLiteral("删除图像"), 266);
    Label1 = new QLabel(Pictool);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(366, 7, 160, 28);
    Picbox = new QLabel(this);
    Picbox->setObjectName(QStringLiteral("Picbox"));
    Picbox->setAlignment(Qt::AlignLeft | Qt::AlignTop);   // the picture fills the box FitPicture makes for it
    connect(Bup, &QvButton::clicked, this, &FrmpicView::Bup_Click);
    connect(Bdown, &QvButton::clicked, this, &FrmpicView::Bdown_Click);
    connect(Badd, &QvButton::clicked, this, &FrmpicView::Badd_Click);
    connect(Bdel, &QvButton::clicked, this, &FrmpicView::Bdel_Click);
}

void FrmpicView::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    // The tool bar spans the window; the picture is fitted to the new size.
    Pictool->setGeometry(0, 0, width(), Pictool->height());
    FitPicture();
}

void FrmpicView::ApplySkin()
{
    Skin::SetBackColor(this, Palette::gFormBackColor);
    Skin::SetBackColor(Pictool, Palette::gToolBackColor);
    Skin::DrawToolbarLine(Pictool);
    for (QvButton* b : {Bup, Bdown, Badd, Bdel})
        Skin::DialogScheme(b);
}

int FrmpicView::groupSize() const
{
    if (Picqy == QLatin1String("yc"))
        return CaptureStore::kCaptureSlots;
    if (Picqy == QLatin1String("bg"))
        return CaptureStore::kReportSlots;
    return 0;
}

PictureSlots::Group FrmpicView::group() const
{
    return Picqy == QLatin1String("bg") ? PictureSlots::Report : PictureSlots::Capture;
}

QString FrmpicView::fileOf(int index) const
{
    const QString tag = slots_ ? slots_->tag(group(), index) : QString();
    return group() == PictureSlots::Capture ? tag + QStringLiteral(".jpg") : tag;
}

bool FrmpicView::hasPicture() const { return !picture_.isNull(); }

void FrmpicView::loadPicture(const QString& path)
{
    // A missing or unreadable file shows an empty box.
    picture_ = QPixmap(path);
    if (picture_.isNull())
        Picbox->clear();
}

void FrmpicView::clearPicture()
{
    picture_ = QPixmap();
    Picbox->clear();
}

void FrmpicView::fillScreen()
{
    // The screen the user works on (the editor's), all of it but the panels;
    // the window manager keeps the frame inside it once the window shows.
    const QWidget* active = QApplication::activeWindow();
    const QScreen* screen = active && active != this ? active->screen() : QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void FrmpicView::Form_Load()
{
    fillScreen();
    Pictool->setGeometry(0, 0, width(), Pictool->height());
    ApplySkin();
    Badd->setVisible(true);
    clearPicture();
    Label1->clear();
    const int n = groupSize();
    if (n > 0) {
        if (Picqy == QLatin1String("bg")) {
            Badd->setVisible(false);
            Label1->setText(QStringLiteral("报告图像"));
        } else {
            Label1->setText(QStringLiteral("预存图像"));
        }
        if (PicId >= 0 && PicId < n)
            loadPicture(fileOf(PicId));
    }
    FitPicture();
}

void FrmpicView::FitPicture()
{
    // All lengths in twips. The picture is shown whole: one that fits in the
    // window (120 twips from the sides, 840 from the top, 120 from the bottom)
    // at its natural size, a larger one scaled down to fit, its aspect kept.
    // Either way it is centred across the window and below the tool bar.
    const double W = width() * kTwips, H = height() * kTwips;
    const QSizeF room(std::max(0.0, W - 240), std::max(0.0, H - 960));
    QSizeF shown = QSizeF(picture_.size()) * kTwips;
    if (!picture_.isNull() && (shown.width() > room.width() || shown.height() > room.height()))
        shown = shown.scaled(room, Qt::KeepAspectRatio);
    const double left = (W - shown.width()) / 2;
    const double top = (H - 720 - shown.height()) / 2 + 720;
    const QRect box(px(left), px(top), std::max(0, px(shown.width())), std::max(0, px(shown.height())));
    Picbox->setGeometry(box);
    if (picture_.isNull())
        return;
    if (box.size() == picture_.size())
        Picbox->setPixmap(picture_);
    else if (!box.isEmpty())
        Picbox->setPixmap(picture_.scaled(box.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void FrmpicView::step(int direction)
{
    const int n = groupSize();
    if (n > 0 && slots_) {
        // Empty slots are skipped; at either end nothing changes.
        const int keep = PicId;
        for (;;) {
            PicId += direction;
            if (PicId < 0 || PicId >= n) {
                PicId = keep;
                return;
            }
            if (!slots_->tag(group(), PicId).isEmpty())
                break;
        }
        loadPicture(fileOf(PicId));
    }
    FitPicture();
}

void FrmpicView::Bup_Click() { step(-1); }
void FrmpicView::Bdown_Click() { step(+1); }

void FrmpicView::Bdel_Click()
{
    if (!hasPicture()) {
        MessageBox::information(kNoPicture, MessageBox::kCancelledTitle);
        return;
    }
    if (Picqy == QLatin1String("bg") && !Bedit) {
        MessageBox::information(QStringLiteral("请在编辑状态下对报告图片进行删除"), MessageBox::kCancelledTitle);
        return;
    }
    if (MessageBox::show(QStringLiteral("请确认是否删除当前报告图片"), MessageBox::kNoticeTitle,
                         MessageBox::Icon::Information, MessageBox::Buttons::OkCancel, this)
        != MessageBox::Answer::Ok)
        return;
    if (slots_)
        slots_->empty(group(), PicId);
    clearPicture();
}

void FrmpicView::Badd_Click()
{
    if (!hasPicture()) {
        MessageBox::information(kNoPicture, MessageBox::kCancelledTitle);
        return;
    }
    if (!Bedit) {
        MessageBox::information(QStringLiteral("请在编辑状态下对报告图片进行添加"), MessageBox::kCancelledTitle);
        return;
    }
    if (!slots_ || group() != PictureSlots::Capture)
        return;
    int k = 0;
    while (k < CaptureStore::kReportSlots && !slots_->tag(PictureSlots::Report, k).isEmpty())
        ++k;
    if (k == CaptureStore::kReportSlots) {
        MessageBox::information(QStringLiteral("报告区图片已满，操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    // The capture keeps its picture: adding from here copies.
    const QString to = CaptureStore::reportFile(k + 1);
    try {
        CaptureStore::copyPicture(fileOf(PicId), to);
    } catch (const AppError& e) {
        MessageBox::critical(e.text(), MessageBox::kErrorTitle);
        return;
    }
    if (!slots_->showReportPicture(k, to)) {
        MessageBox::critical(AppError::format(AppError::InvalidPicture, QStringLiteral("不是有效的图像文件：") + to),
                             MessageBox::kErrorTitle);
        return;
    }
    MessageBox::information(QStringLiteral("添加到报告完成"), MessageBox::kNoticeTitle);
}
