#pragma once
#include <QDialog>

#include "imaging/VideoSettings.h"

class QComboBox;
class QPushButton;

// Chooses the picture size and frame rate among those the source offers
// (fractional rates such as 29.97 frames a second included).
class VideoFormatDialog : public QDialog {
    Q_OBJECT
public:
    explicit VideoFormatDialog(QWidget* parent = nullptr);
    // Lists the modes of the source (empty: the configured one) and selects the configured mode.
    void load(const QString& source = QString());

    QComboBox* ComboSize;
    QComboBox* ComboRate;
    QPushButton* ButtnOk;
    QPushButton* ButtnCancel;

public slots:
    void accept() override;

private:
    void fillRates(const FrameRate& preferred);
    QList<VideoDevices::Mode> modes_;
};
