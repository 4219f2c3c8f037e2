#pragma once
#include <QAbstractButton>
#include <QMap>

// The workstation's push button: a flat, self-painted button whose colours are set by the
// theme routines through numbered colour properties.
//
// Usage in a window:
//   auto* ButtnSave = new QvButton(QStringLiteral("保 存"), Picdata);   // "&S保存" gives Alt+S
//   ButtnSave->setGeometry(x, y, 75, 25);
//   connect(ButtnSave, &QvButton::clicked, this, &FrmX::ButtnSave_Click);   // only while enabled
//   ButtnSave->setEnabled(false);                                         // rights, edit states
//   Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit});        // writes its colours
//   // the preview's paging buttons also listen to the mouse event:
//   connect(Cpagedown, &QvButton::MouseDown, this, &Frmreport::Cpagedown_MouseDown);
//
// It is never a dialog default button: Enter in a dialog does not press it.
// The caption may carry an access key ("&N"); Alt + that key clicks the button.

// The colour properties, by number. How each is drawn:
enum class ButtonProp : quint32 {
    FocusColor = 0x6803000B,       // focus rectangle
    HoverForeColor = 0x6803000D,   // caption while the mouse is over the button
    DownForeColor = 0x6803000E,    // caption while pressed
    ForeColor = 0x6803000F,        // caption
    BorderColor = 0x68030011,      // frame
    HoverTop = 0x68030012,         // face under the mouse: top ...
    DownTop = 0x68030013,          // face while pressed: top ...
    FaceTop = 0x68030014,          // face at rest: top ...
    HoverBottom = 0x68030015,      // ... and bottom under the mouse
    DownBottom = 0x68030016,       // ... and bottom while pressed
    FaceBottom = 0x68030017,       // ... and bottom at rest
};

class QvButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit QvButton(QWidget* parent = nullptr);
    explicit QvButton(const QString& caption, QWidget* parent = nullptr);

    // The caption (text with an optional "&" access key).
    void setCaption(const QString& caption) { setText(caption); }
    QString caption() const { return text(); }

    // Colour properties (0x00BBGGRR values). The last value written per property counts.
    void setColor(ButtonProp prop, qint32 color);
    qint32 color(ButtonProp prop) const;
    bool hasColor(ButtonProp prop) const { return colors_.contains(quint32(prop)); }
    // Raw form by property number (0x680300xx); unknown numbers are kept but not drawn.
    void setColor(quint32 propNumber, qint32 color);
    const QMap<quint32, qint32>& colors() const { return colors_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Mouse pressed on the button: button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl,
    // 4 Alt; x, y in pixels of the button. Raised only while the button is enabled.
    void MouseDown(int button, int shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QColor propColor(ButtonProp prop, const QColor& fallback) const;

    QMap<quint32, qint32> colors_;
    bool hover_ = false;
};

// The name the button goes by in some notes.
