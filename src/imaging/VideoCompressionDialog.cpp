#include "imaging/VideoCompressionDialog.h"

#include "imaging/VideoSettings.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

VideoCompressionDialog::VideoCompressionDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("视频压缩"));
    setFixedSize(300, 150);
    OptionMjpeg = new QRadioButton(QStringLiteral("MJPEG 压缩"), this);
    OptionMjpeg->setObjectName(QStringLiteral("OptionMjpeg"));
    OptionMjpeg->setGeometry(16, 14, 120, 24);
    auto* label = new QLabel(QStringLiteral("质量："), this);
    label->setGeometry(150, 14, 48, 24);
    SpinQuality = new QSpinBox(this);
    SpinQuality->setObjectName(QStringLiteral("SpinQuality"));
    SpinQuality->setRange(1, 100);
    SpinQuality->setGeometry(200, 14, 84, 24);
    OptionRaw = new QRadioButton(QStringLiteral("不压缩"), this);
    OptionRaw->setObjectName(QStringLiteral("OptionRaw"));
    OptionRaw->setGeometry(16, 50, 120, 24);
    ButtnOk = new QPushButton(QStringLiteral("确 定"), this);
    ButtnOk->setObjectName(QStringLiteral("ButtnOk"));
    ButtnOk->setGeometry(108, 106, 80, 28);
    ButtnOk->setAutoDefault(false);
    ButtnCancel = new QPushButton(QStringLiteral("取 消"), this);
    ButtnCancel->setObjectName(QStringLiteral("ButtnCancel"));
    ButtnCancel->setGeometry(204, 106, 80, 28);
    ButtnCancel->setAutoDefault(false);
    connect(OptionMjpeg, &QRadioButton::toggled, SpinQuality, &QSpinBox::setEnabled);
    connect(ButtnOk, &QPushButton::clicked, this, &VideoCompressionDialog::accept);
    connect(ButtnCancel, &QPushButton::clicked, this, &VideoCompressionDialog::reject);
}

void VideoCompressionDialog::load()
{
    const VideoSettings s = VideoSettings::load();
    const bool raw = s.codec == QLatin1String("raw");
    OptionMjpeg->setChecked(!raw);
    OptionRaw->setChecked(raw);
    SpinQuality->setValue(s.quality);
    SpinQuality->setEnabled(!raw);
}

void VideoCompressionDialog::accept()
{
    VideoSettings s = VideoSettings::load();
    s.codec = OptionRaw->isChecked() ? QStringLiteral("raw") : QStringLiteral("mjpeg");
    s.quality = SpinQuality->value();
    if (s.saveOrTell(this))   // not saved: the dialog stays open
        QDialog::accept();
}
