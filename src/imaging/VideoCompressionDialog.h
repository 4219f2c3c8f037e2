#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// Chooses how recordings are compressed: MJPEG at a quality, or not at all.
class VideoCompressionDialog : public QDialog {
    Q_OBJECT
public:
    explicit VideoCompressionDialog(QWidget* parent = nullptr);
    void load();

    QRadioButton* OptionMjpeg;
    QRadioButton* OptionRaw;
    QSpinBox* SpinQuality;
    QPushButton* ButtnOk;
    QPushButton* ButtnCancel;

public slots:
    void accept() override;
};
