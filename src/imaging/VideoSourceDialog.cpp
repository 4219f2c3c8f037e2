#include "imaging/VideoSourceDialog.h"

#include "imaging/VideoSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

VideoSourceDialog::VideoSourceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("视频源"));
    setFixedSize(360, 110);
    auto* label = new QLabel(QStringLiteral("视频设备："), this);
    label->setGeometry(16, 20, 72, 24);
    ComboDevice = new QComboBox(this);
    ComboDevice->setObjectName(QStringLiteral("ComboDevice"));
    ComboDevice->setGeometry(88, 20, 256, 24);
    ButtnOk = new QPushButton(QStringLiteral("确 定"), this);
    ButtnOk->setObjectName(QStringLiteral("ButtnOk"));
    ButtnOk->setGeometry(168, 66, 80, 28);
    ButtnOk->setAutoDefault(false);
    ButtnCancel = new QPushButton(QStringLiteral("取 消"), this);
    ButtnCancel->setObjectName(QStringLiteral("ButtnCancel"));
    ButtnCancel->setGeometry(264, 66, 80, 28);
    ButtnCancel->setAutoDefault(false);
    connect(ButtnOk, &QPushButton::clicked, this, &VideoSourceDialog::accept);
    connect(ButtnCancel, &QPushButton::clicked, this, &VideoSourceDialog::reject);
}

void VideoSourceDialog::load()
{
    ComboDevice->clear();
    const VideoSettings s = VideoSettings::load();
    // The test pattern is offered only where it is configured already (tests,
    // benchmarks): a user never picks it by mistake for a patient's pictures.
    if (s.device == VideoSettings::testPattern())
        ComboDevice->addItem(QStringLiteral("测试图案"), VideoSettings::testPattern());
    for (const VideoDevices::Device& dev : VideoDevices::list())
        ComboDevice->addItem(dev.name + QStringLiteral(" (") + dev.path + QLatin1Char(')'), dev.path);
    const QString current = VideoDevices::resolve(s);
    int index = ComboDevice->findData(current);
    if (index < 0) {
        // A configured camera that is not present is still shown, so it can be
        // kept or changed; with none configured and none present, that is said.
        ComboDevice->addItem(
            current.isEmpty() ? QStringLiteral("未找到视频设备") : current + QStringLiteral(" (未连接)"), current);
        index = ComboDevice->count() - 1;
    }
    ComboDevice->setCurrentIndex(index);
}

void VideoSourceDialog::accept()
{
    VideoSettings s = VideoSettings::load();
    s.device = ComboDevice->currentData().toString();
    if (s.saveOrTell(this))   // not saved: the dialog stays open
        QDialog::accept();
}
