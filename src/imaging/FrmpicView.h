#pragma once
#include <QDialog>
#include <QPixmap>
#include <QSize>
#include <QString>

class PaintPanel;
class QLabel;
class QvButton;

// The editor's picture slots as the viewer reads and changes them: the
// capture store (18 slots, Tag = the files' path without extension) and the
// report slots (4 slots, Tag = the JPEG's path); "" is an empty slot.
class PictureSlots {
public:
    enum Group {
        Capture,
        Report
    };
    virtual ~PictureSlots() = default;
    virtual QString tag(Group group, int index) const = 0;
    // Empties the slot: Tag "", picture erased, selection frame hidden.
    virtual void empty(Group group, int index) = 0;
    // Shows the file in report slot k and sets its Tag; false when the file
    // is not a readable picture (the slot stays as it was).
    virtual bool showReportPicture(int k, const QString& path) = 0;
};

// The picture viewer (caption "图像浏览"): one picture of the capture store
// ("yc") or of the report slots ("bg") shown whole, in a window that fills the
// screen, stepping through
// the group's filled slots, removing the picture shown and, for the capture
// store, adding it to the report. One instance; each opening sets Picqy,
// PicId and Bedit and runs Form_Load.
class FrmpicView : public QDialog {
    Q_OBJECT
public:
    static FrmpicView& instance();
    // Tests: the window is deleted, and the next instance() is a new one, as
    // at the program's start.
    static void discardInstance();

    // Opening properties.
    QString Picqy;        // "yc" capture store, "bg" report slots
    int PicId = 0;        // the slot shown; changes while stepping
    bool Bedit = false;   // the editor was in its edit state

    // The slots the viewer works on (the editor's, while it shows the viewer).
    void setPictureSlots(PictureSlots* pictureSlots) { slots_ = pictureSlots; }

    void Form_Load();
    // Places Picbox centred below the tool bar: a picture that fits at its
    // natural size, a larger one scaled down to fit, its aspect kept.
    void FitPicture();
    bool hasPicture() const;

public slots:
    void Bup_Click();
    void Bdown_Click();
    void Bdel_Click();
    void Badd_Click();

public:
    PaintPanel* Pictool = nullptr;
    QvButton *Bup = nullptr, *Bdown = nullptr, *Badd = nullptr, *Bdel = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Picbox = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    FrmpicView();
    void ApplySkin();
    int groupSize() const;
    PictureSlots::Group group() const;
    QString fileOf(int index) const;
    void loadPicture(const QString& path);
    void clearPicture();
    void fillScreen();
    void step(int direction);

    PictureSlots* slots_ = nullptr;
    QPixmap picture_;   // the picture shown, at its natural size
};
