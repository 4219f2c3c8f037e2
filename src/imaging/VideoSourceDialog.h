#pragma once
#include <QDialog>

class QComboBox;
class QPushButton;

// Chooses the video source: a camera present on the machine or the test pattern.
class VideoSourceDialog : public QDialog {
    Q_OBJECT
public:
    explicit VideoSourceDialog(QWidget* parent = nullptr);
    // Fills the list and selects the configured source.
    void load();

    QComboBox* ComboDevice;
    QPushButton* ButtnOk;
    QPushButton* ButtnCancel;

public slots:
    void accept() override;
};
