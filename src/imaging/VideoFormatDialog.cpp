#include "imaging/VideoFormatDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSize>

VideoFormatDialog::VideoFormatDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("视频格式"));
    setFixedSize(300, 140);
    auto* l1 = new QLabel(QStringLiteral("分辨率："), this);
    l1->setGeometry(16, 16, 64, 24);
    ComboSize = new QComboBox(this);
    ComboSize->setObjectName(QStringLiteral("ComboSize"));
    ComboSize->setGeometry(84, 16, 200, 24);
    auto* l2 = new QLabel(QStringLiteral("帧  率："), this);
    l2->setGeometry(16, 52, 64, 24);
    ComboRate = new QComboBox(this);
    ComboRate->setObjectName(QStringLiteral("ComboRate"));
    ComboRate->setGeometry(84, 52, 200, 24);
    ButtnOk = new QPushButton(QStringLiteral("确 定"), this);
    ButtnOk->setObjectName(QStringLiteral("ButtnOk"));
    ButtnOk->setGeometry(108, 96, 80, 28);
    ButtnOk->setAutoDefault(false);
    ButtnCancel = new QPushButton(QStringLiteral("取 消"), this);
    ButtnCancel->setObjectName(QStringLiteral("ButtnCancel"));
    ButtnCancel->setGeometry(204, 96, 80, 28);
    ButtnCancel->setAutoDefault(false);
    connect(ButtnOk, &QPushButton::clicked, this, &VideoFormatDialog::accept);
    connect(ButtnCancel, &QPushButton::clicked, this, &VideoFormatDialog::reject);
    connect(ComboSize, &QComboBox::currentIndexChanged, this,
            [this] { fillRates(FrameRate::parse(ComboRate->currentData().toString()).value_or(FrameRate{})); });
}

void VideoFormatDialog::load(const QString& source)
{
    const VideoSettings s = VideoSettings::load();
    modes_ = VideoDevices::modes(source.isEmpty() ? VideoDevices::resolve(s) : source);
    // The configured mode is offered even when the source does not list it.
    if (std::none_of(modes_.begin(), modes_.end(), [&](const VideoDevices::Mode& m) {
            return m.width == s.width && m.height == s.height && m.fps == s.fps;
        }))
        modes_.append({s.width, s.height, s.fps, false});

    const QSignalBlocker block(ComboSize);
    ComboSize->clear();
    for (const VideoDevices::Mode& m : modes_) {
        const QSize sz(m.width, m.height);
        if (ComboSize->findData(sz) < 0)
            ComboSize->addItem(QStringLiteral("%1 x %2").arg(m.width).arg(m.height), sz);
    }
    ComboSize->setCurrentIndex(std::max(0, ComboSize->findData(QSize(s.width, s.height))));
    fillRates(s.fps);
}

void VideoFormatDialog::fillRates(const FrameRate& preferred)
{
    const QSize sz = ComboSize->currentData().toSize();
    ComboRate->clear();
    for (const VideoDevices::Mode& m : modes_)
        if (QSize(m.width, m.height) == sz && ComboRate->findData(m.fps.text()) < 0)
            ComboRate->addItem(m.fps.caption(), m.fps.text());
    const int i = ComboRate->findData(preferred.text());
    ComboRate->setCurrentIndex(i >= 0 ? i : 0);
}

void VideoFormatDialog::accept()
{
    VideoSettings s = VideoSettings::load();
    const QSize sz = ComboSize->currentData().toSize();
    const auto rate = FrameRate::parse(ComboRate->currentData().toString());
    if (sz.isValid() && rate) {
        s.width = sz.width();
        s.height = sz.height();
        s.fps = *rate;
        if (!s.saveOrTell(this))
            return;   // not saved: the dialog stays open
    }
    QDialog::accept();
}
