#include "report/Frmprintset.h"

#include "core/ItemCaptions.h"
#include "core/Database.h"
#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/Palette.h"
#include "core/ReportStore.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/TypedText.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/Units.h"
#include "report/FontColorDialogs.h"
#include "report/PrintLists.h"
#include "report/ProgramPrinter.h"
#include "report/ReportRenderer.h"
#include "report/ReportUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <limits>

namespace {

constexpr int kDialogWidth = 900;
constexpr int kDialogHeight = 624;
constexpr int kRow = 26;   // pixels from one row of the mock-up to the next

QString boolText(bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); }

// A single-precision size in its shortest text: 10.5 gives "10.5".
QString sizeText(double size) { return QString::number(double(float(size)), 'g', 7); }

QLabel* label(const QString& text, QWidget* parent, int x, int y, int w, int h = 22)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

QLineEdit* textBox(const QString& name, QWidget* parent, int x, int y, int w)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(name);
    t->setGeometry(x, y, w, 22);
    return t;
}
}

Frmprintset& Frmprintset::instance()
{
    static Frmprintset* dialog = new Frmprintset();
    return *dialog;
}

Frmprintset::Frmprintset() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("打印设置"));
    setFixedSize(kDialogWidth, kDialogHeight);
    buildControls();
}

void Frmprintset::buildControls()
{
    // Printer and numbers, on the left.
    Picprinter = new PaintPanel(this);
    Picprinter->setObjectName(QStringLiteral("Picprinter"));
    Picprinter->setGeometry(8, 8, 300, 560);
    const QStringList listCaptions{QStringLiteral("打印机："), QStringLiteral("打印纸张："),
                                   QStringLiteral("颜色模式："), QStringLiteral("打印方向："),
                                   QStringLiteral("打印质量：")};
    QComboBox** lists[] = {&cboPrinter, &ComboPaper, &ComboColor, &ComboDirection, &ComboQuality};
    const char* listNames[] = {"cboPrinter", "ComboPaper", "ComboColor", "ComboDirection", "ComboQuality"};
    for (int i = 0; i < 5; ++i) {
        label(listCaptions[i], Picprinter, 12, 34 + i * 30, 76);
        *lists[i] = PrintLists::makeList(Picprinter, listNames[i]);
        (*lists[i])->setGeometry(88, 34 + i * 30, 200, 22);
    }
    connect(cboPrinter, &QComboBox::activated, this, [this] { cboPrinter_Click(); });

    label(QStringLiteral("  单位： 毫米"), Picprinter, 12, 186, 200);
    struct Field {
        QLineEdit** box;
        const char* name;
        QString caption;
        int column, row;
    };
    const Field fields[] = {
        {&Ttop, "Ttop", QStringLiteral("上边距："), 0, 0},
        {&Tbotton, "Tbotton", QStringLiteral("下边距："), 1, 0},
        {&Tleft, "Tleft", QStringLiteral("左边距："), 0, 1},
        {&Tright, "Tright", QStringLiteral("右边距："), 1, 1},
        {&Thjj, "Thjj", QStringLiteral("行距一："), 0, 2},
        {&Thjj2, "Thjj2", QStringLiteral("行距二："), 1, 2},
        {&Tpicwidth, "Tpicwidth", QStringLiteral("图像宽度："), 0, 5},
        {&Tpicheight, "Tpicheight", QStringLiteral("图像高度："), 1, 5},
        {&Tzoom, "Tzoom", QStringLiteral("预览倍数："), 0, 6},
    };
    for (const Field& f : fields) {
        const int x = 12 + f.column * 140, y = 214 + f.row * 32;
        label(f.caption, Picprinter, x, y, 70);
        *f.box = textBox(QString::fromLatin1(f.name), Picprinter, x + 70, y, 60);
    }
    label(QStringLiteral("行距一： 指报告基本信息项目间距"), Picprinter, 12, 214 + 3 * 32, 280);
    label(QStringLiteral("行距二： 指报告内容的行距"), Picprinter, 12, 214 + 4 * 32, 280);
    Chkpic = new QCheckBox(QStringLiteral("是否打印图像"), Picprinter);
    Chkpic->setObjectName(QStringLiteral("Chkpic"));
    Chkpic->setGeometry(152, 214 + 6 * 32, 130, 22);

    // Fonts, line colour and the page mock-up, on the right.
    Picfont = new PaintPanel(this);
    Picfont->setObjectName(QStringLiteral("Picfont"));
    Picfont->setGeometry(316, 8, 576, 560);
    struct FontButton {
        QvButton** button;
        const char* name;
        QString caption;
        int set, column, row;
    };
    const FontButton fontButtons[] = {
        {&A1Fontset, "A1Fontset", QStringLiteral("医院名称字体"), 1, 0, 0},
        {&B1Fontset, "B1Fontset", QStringLiteral("报告名称字体"), 2, 0, 1},
        {&C1Fontset, "C1Fontset", QStringLiteral("基本信息标题"), 3, 0, 2},
        {&C2Fontset, "C2Fontset", QStringLiteral("基本信息    "), 4, 1, 2},
        {&D1Fontset, "D1Fontset", QStringLiteral("报告信息标题"), 5, 0, 3},
        {&D2Fontset, "D2Fontset", QStringLiteral("报告信息    "), 6, 1, 3},
        {&E1Fontset, "E1Fontset", QStringLiteral("报告署名标题"), 7, 0, 4},
        {&E2Fontset, "E2Fontset", QStringLiteral("报告署名    "), 8, 1, 4},
        {&F1Fontset, "F1Fontset", QStringLiteral("报告尾部注释"), 9, 0, 5},
    };
    for (const FontButton& b : fontButtons) {
        *b.button = new QvButton(b.caption, Picfont);
        (*b.button)->setObjectName(QString::fromLatin1(b.name));
        (*b.button)->setGeometry(10 + b.column * 94, 34 + b.row * 34, 88, 26);
        const int set = b.set;
        connect(*b.button, &QvButton::clicked, this, [this, set] { ChooseFontSet(set); });
    }
    LineSet = new QvButton(QStringLiteral("报告横线颜色"), Picfont);
    LineSet->setObjectName(QStringLiteral("LineSet"));
    LineSet->setGeometry(10, 34 + 6 * 34, 88, 26);
    connect(LineSet, &QvButton::clicked, this, [this] { LineSet_Click(); });
    Tlinecolor = textBox(QStringLiteral("Tlinecolor"), Picfont, 104, 36 + 6 * 34, 88);
    Tlinecolor->setReadOnly(true);
    Tlinecolor->setFocusPolicy(Qt::NoFocus);

    Picrpt = new PaintPanel(Picfont);
    Picrpt->setObjectName(QStringLiteral("Picrpt"));
    Picrpt->setGeometry(200, 30, 368, 522);
    buildMockup();

    // The bottom tool bar.
    Pictool = new PaintPanel(this);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    Pictool->setGeometry(0, kDialogHeight - 48, kDialogWidth, 48);
    ButtnSave = new QvButton(QStringLiteral("保 存"), Pictool);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(kDialogWidth - 2 * 86 - 24, 10, 86, 28);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), Pictool);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(kDialogWidth - 86 - 14, 10, 86, 28);
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
}

// The page as the slots lie on it: the header rows of four, the body rows with the
// paragraph spacings between them, the footer items and the foot text.
void Frmprintset::buildMockup()
{
    const int W = 368;
    auto* hospital = label(QStringLiteral("XXXXXXXXXXXXXXXXXXXXXXXXX"), Picrpt, 0, 6, W, 20);
    hospital->setAlignment(Qt::AlignCenter);
    auto* title = label(QStringLiteral("放 射 检 查 报 告 单"), Picrpt, 0, 30, W, 22);
    title->setAlignment(Qt::AlignCenter);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    hospital->setFont(bold);
    Txthead = textBox(QStringLiteral("Txthead"), Picrpt, 6, 30, 96);

    auto slotList = [this](int slot, int x, int y, int w) {
        auto* c = new QComboBox(Picrpt);
        c->setObjectName(QStringLiteral("Comboxm(%1)").arg(slot - 1));
        c->setGeometry(x, y, w, 22);
        Comboxm[size_t(slot - 1)] = c;
        connect(c, &QComboBox::activated, this, [this, slot] { Comboxm_Click(slot - 1); });
    };
    auto column = [](int c) { return 6 + c * 90; };
    // Slots 1..20: five header rows of four, a separator after the first and the last.
    for (int slot = 1; slot <= 20; ++slot) {
        const int row = (slot - 1) / 4;
        slotList(slot, column((slot - 1) % 4), 58 + row * kRow + (row > 0 ? 8 : 0), 86);
    }
    // Slots 21..25: full rows with the paragraph spacings at the right between them.
    for (int k = 0; k < 5; ++k) {
        const int y = 204 + 2 * k * kRow;
        slotList(21 + k, column(0), y, 176);
        if (k < 4) {
            label(QStringLiteral("段距%1").arg(QStringList{QStringLiteral("一"), QStringLiteral("二"),
                                                           QStringLiteral("三"), QStringLiteral("四")}[k]),
                  Picrpt, 236, y + kRow, 50);
            Tdjj[size_t(k)] = textBox(QStringLiteral("Tdjj%1").arg(k + 1), Picrpt, 290, y + kRow, 70);
        }
    }
    // Slot 26 at the right, 27 and 28 in the third and fourth column below it.
    slotList(26, column(3), 440, 86);
    slotList(27, column(2), 440 + kRow, 86);
    slotList(28, column(3), 440 + kRow, 86);
    Txtfoot = textBox(QStringLiteral("Txtfoot"), Picrpt, 6, 496, W - 12);
}

int Frmprintset::showModally()
{
    Form_Load();
    return Opener::showModal(this);
}

void Frmprintset::ApplySkin()
{
    using namespace Palette;
    Skin::SetBackColor(this, gFormBackColor);
    Skin::SetBackColor(Pictool, gToolBackColor);
    Skin::DrawTopLine(Pictool);
    for (PaintPanel* panel : {Picfont, Picprinter})
        Skin::SetBackColor(panel, gPanelBackColor);
    Skin::DrawGradientCaption(Picfont, QStringLiteral("打印字体设置"));
    Skin::DrawGradientCaption(Picprinter, QStringLiteral("打印机设置"));
    // The mock-up is a white page with the page's separator lines.
    Skin::SetBackColor(Picrpt, RGB(255, 255, 255));
    Picrpt->setDrawing(QStringLiteral("separators"), [](QPainter& p, const QSize& s, const QFont&) {
        p.setPen(QColor(Qt::black));
        for (int y : {84, 196, 492})
            p.drawLine(6, y, s.width() - 7, y);
    });
    Skin::DrawDataFrame(Picrpt);
    Skin::DialogScheme(ButtnSave);
    Skin::DialogScheme(ButtnQuit);
}

void Frmprintset::Form_Load()
{
    // The lists show what the printers answer now (a printer added meanwhile, its papers).
    ProgramPrinter::instance().forget();
    bset_ = false;
    ApplySkin();
    FillItemCombos();
    LoadDialogSettings();
}

void Frmprintset::FillItemCombos()
{
    for (QComboBox* c : Comboxm)
        c->clear();
    QStringList captions;
    if (!ReadItemCaptions(captions, false))
        return;
    for (QComboBox* c : Comboxm) {
        c->addItem(QStringLiteral("<无>"));
        for (int i = 0; i < captions.size(); ++i) {
            const size_t k = size_t(i);
            c->addItem(captions[i], k < PrintSettings::kItemFieldMap.size() ? PrintSettings::kItemFieldMap[k] : 0);
        }
        c->setCurrentIndex(-1);
    }
}

// The boxes and what they edit.
std::vector<std::pair<QLineEdit*, IniSetting>> Frmprintset::numberBoxes() const
{
    using namespace PrintKey;
    return {{Ttop, Top},
            {Tbotton, Bottom},
            {Tleft, Left},
            {Tright, Right},
            {Thjj, LineSpacing},
            {Thjj2, TextSpacing},
            {Tdjj[0], ParagraphSpacing(1)},
            {Tdjj[1], ParagraphSpacing(2)},
            {Tdjj[2], ParagraphSpacing(3)},
            {Tdjj[3], ParagraphSpacing(4)},
            {Tpicwidth, PicWidth},
            {Tpicheight, PicHeight},
            {Tzoom, Zoom}};
}

void Frmprintset::LoadDialogSettings()
{
    using namespace PrintKey;
    const QString printerName = Modini::GetIniValue(Printer);
    const int paper = PrintSettings::storedWhole(Paper);
    const int color = PrintSettings::storedWhole(Color);
    const int direction = PrintSettings::storedWhole(Direction);
    const int quality = PrintSettings::storedWhole(Quality);

    for (const auto& [box, key] : numberBoxes())
        box->setText(PrintSettings::storedNumberText(key));
    Chkpic->setChecked(PrintSettings::storedBoolean(Pictures));
    lineColor_ = PrintSettings::storedWhole(LineColor);
    showLineColor();
    Txthead->setText(Modini::GetIniValue(Head));
    Txtfoot->setText(Modini::GetIniValue(Foot));

    for (int n = 1; n <= PrintSettings::kFontSets; ++n)
        fonts_[size_t(n - 1)] = PrintSettings::storedFontSet(n);

    for (int n = 1; n <= PrintSettings::kSlots; ++n) {
        QComboBox* c = Comboxm[size_t(n - 1)];
        c->setCurrentIndex(-1);
        const auto v = Modini::GetIniNumber(ItemRow(n));
        if (!v || std::floor(*v) < 1 || std::floor(*v) > 27)
            continue;
        const int row = int(Units::roundEven(*v));
        if (row < c->count())   // a row past the list leaves the slot empty
            c->setCurrentIndex(row);
    }

    PrintLists::FillPrinterCombo(cboPrinter);
    for (const QString& name : {ProgramPrinter::instance().printerName(), printerName}) {
        const int row = name.isEmpty() ? -1 : cboPrinter->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (row >= 0) {
            cboPrinter->setCurrentIndex(row);
            cboPrinter_Click();
        }
    }
    if (cboPrinter->currentIndex() < 0)
        ComboPaper->clear();
    const int paperRow = ComboPaper->findData(paper);
    if (paperRow >= 0)
        ComboPaper->setCurrentIndex(paperRow);

    PrintLists::fillCodeCombo(ComboColor, PrintLists::ColorModeCodes());
    PrintLists::selectCode(ComboColor, PrintLists::ColorModeCodes(), color);
    PrintLists::fillCodeCombo(ComboDirection, PrintLists::OrientationCodes());
    PrintLists::selectCode(ComboDirection, PrintLists::OrientationCodes(), direction);
    PrintLists::fillCodeCombo(ComboQuality, PrintLists::PrintQualityCodes());
    PrintLists::selectCode(ComboQuality, PrintLists::PrintQualityCodes(), quality);
}

void Frmprintset::showLineColor()
{
    QPalette pal = Tlinecolor->palette();
    pal.setColor(QPalette::Base, storedColorToQColor(lineColor_));
    Tlinecolor->setPalette(pal);
}

void Frmprintset::cboPrinter_Click() { PrintLists::cboPrinter_Click(cboPrinter, ComboPaper); }

void Frmprintset::Comboxm_Click(int index)
{
    if (index < 0 || index >= PrintSettings::kSlots)
        return;
    QComboBox* c = Comboxm[size_t(index)];
    if (c->currentIndex() == 0)
        c->setCurrentIndex(-1);
}

void Frmprintset::ChooseFontSet(int n)
{
    if (n < 1 || n > PrintSettings::kFontSets)
        return;
    FontSet chosen = fonts_[size_t(n - 1)];
    if (FontColorDialogs::current().chooseFont(chosen, this))
        fonts_[size_t(n - 1)] = chosen;
}

void Frmprintset::LineSet_Click()
{
    qint32 c = lineColor_;
    if (FontColorDialogs::current().chooseColor(c, this))
        lineColor_ = c;
    showLineColor();
}

bool Frmprintset::ValidatePrintSettings()
{
    auto fail = [](QWidget* control, const QString& text, const QString& title) {
        MessageBox::critical(text, title);
        PrintLists::focusAndSelect(control);
        return false;
    };
    // An empty printer list because the print service is not running says so.
    const std::pair<QComboBox*, QString> lists[] = {
        {cboPrinter, cboPrinter->count() == 0 ? PrintQueue::noPrinterText(QStringLiteral("请选择正确的打印机"),
                                                                          ProgramPrinter::backend().serviceDown())
                                              : QStringLiteral("请选择正确的打印机")},
        {ComboPaper, QStringLiteral("请选择正确的打印纸张")},
        {ComboColor, QStringLiteral("请选择正确的打印颜色模式设置")},
        {ComboDirection, QStringLiteral("请选择正确的打印方向设置")},
        {ComboQuality, QStringLiteral("请选择正确的打印质量设置")}};
    for (const auto& [list, text] : lists)
        if (PrintLists::chosenRow(list) < 0)
            return fail(list, text, MessageBox::kSettingsErrorTitle);
    const std::pair<QLineEdit*, QString> numbers[] = {
        {Ttop, QStringLiteral("上边距应该为数字")},        {Tbotton, QStringLiteral("下边距应该为数字")},
        {Tleft, QStringLiteral("左边距应该为数字")},       {Tright, QStringLiteral("右边距应该为数字")},
        {Thjj, QStringLiteral("行间距应该为数字")},        {Thjj2, QStringLiteral("行间距应该为数字")},
        {Tdjj[0], QStringLiteral("段距一应该为数字")},     {Tdjj[1], QStringLiteral("段距二应该为数字")},
        {Tpicwidth, QStringLiteral("图片大小应该为数字")}, {Tpicheight, QStringLiteral("图片大小应该为数字")},
        {Tzoom, QStringLiteral("预览倍数应该为数字")}};
    for (const auto& [box, text] : numbers)
        if (!NumberText::Parse(box->text()))
            return fail(box, text, MessageBox::kErrorTitle);
    if (const auto refusal = roomRefusal())   // the boxes stand in the order of the fields
        return fail(numberBoxes()[size_t(refusal->field)].first, PageRoom::refusalText(*refusal),
                    MessageBox::kErrorTitle);
    return true;
}

std::optional<PageRoom::Refusal> Frmprintset::roomRefusal() const
{
    const int printerRow = PrintLists::chosenRow(cboPrinter), paperRow = PrintLists::chosenRow(ComboPaper);
    int orientation = ProgramPrinter::Portrait;
    PrintLists::selectedCode(ComboDirection, PrintLists::OrientationCodes(), &orientation);
    const auto page = printerRow < 0 || paperRow < 0
                          ? std::nullopt
                          : ProgramPrinter::printableSizeMm(cboPrinter->itemText(printerRow),
                                                            ComboPaper->itemData(paperRow).toInt(), orientation);
    // The page as the preview would lay it out with these settings. When the printer does not
    // say how large it is, only what no page can take (a negative length) is refused here: the
    // preview measures on the page it gets.
    const double unbounded = std::numeric_limits<double>::infinity();
    PrintSettings s;
    s.pageWidth = page ? page->width() : unbounded;
    s.pageHeight = page ? page->height() : unbounded;
    auto number = [](const QLineEdit* box) { return NumberText::Parse(box->text()).value_or(0); };
    s.top = number(Ttop);
    s.bottom = number(Tbotton);
    s.left = number(Tleft);
    s.right = number(Tright);
    s.hjj = number(Thjj);
    s.hjj2 = number(Thjj2);
    for (size_t i = 0; i < s.djj.size(); ++i)
        s.djj[i] = number(Tdjj[i]);
    s.picWidth = number(Tpicwidth);
    s.picHeight = number(Tpicheight);
    s.printPictures = Chkpic->isChecked();
    s.fonts = fonts_;
    s.correctFontsForPage();
    for (int n = 0; n < PrintSettings::kSlots; ++n) {
        const QComboBox* c = Comboxm[size_t(n)];
        if (const int row = c->currentIndex(); row > 0) {
            s.slotCaptions[size_t(n)] = c->itemText(row);
            s.slotFields[size_t(n)] = QString::number(c->itemData(row).toInt());
        }
    }
    ReportContent content;
    return ReportRenderer(s, content).roomRefusal();
}

void Frmprintset::ButtnSave_Click()
{
    if (!ValidatePrintSettings())
        return;
    // The two texts typed into the mock-up, by the rule of what a typed text may hold.
    if (!TypedText::LinesClean({{Txthead, QStringLiteral("报告页眉")}, {Txtfoot, QStringLiteral("报告页脚")}}))
        return;
    // Every key in one write: a file that cannot be written keeps all of its old values.
    using namespace PrintKey;
    IniFile ini = IniFile::forSaving(AppPaths::iniFile());
    auto set = [&ini](const IniSetting& k, const QString& value) { ini.setValue(k.section, k.key, value); };
    for (const auto& [box, key] : numberBoxes())
        set(key, box->text());
    set(Pictures, Chkpic->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    set(LineColor, QString::number(lineColor_));
    set(Head, Txthead->text());
    set(Foot, Txtfoot->text());

    int color = 0, direction = 0, quality = 0;
    PrintLists::selectedCode(ComboColor, PrintLists::ColorModeCodes(), &color);
    PrintLists::selectedCode(ComboDirection, PrintLists::OrientationCodes(), &direction);
    PrintLists::selectedCode(ComboQuality, PrintLists::PrintQualityCodes(), &quality);
    set(Printer, cboPrinter->itemText(PrintLists::chosenRow(cboPrinter)));
    set(Paper, QString::number(ComboPaper->itemData(PrintLists::chosenRow(ComboPaper)).toInt()));
    set(Color, QString::number(color));
    set(Direction, QString::number(direction));
    set(Quality, QString::number(quality));

    for (int n = 1; n <= PrintSettings::kFontSets; ++n) {
        const FontSet& f = fonts_[size_t(n - 1)];
        const QString s = FontSection(n);
        const QString values[] = {f.name,
                                  sizeText(f.size),
                                  QString::number(f.color),
                                  boolText(f.bold),
                                  boolText(f.italic),
                                  boolText(f.strikeout),
                                  boolText(f.underline)};
        for (size_t k = 0; k < kFontKeys.size(); ++k)
            ini.setValue(s, kFontKeys[k], values[k]);
    }

    for (int n = 1; n <= PrintSettings::kSlots; ++n) {
        const QComboBox* c = Comboxm[size_t(n - 1)];
        const int row = c->currentIndex();
        const bool chosen = row > 0;
        set(ItemRow(n), chosen ? QString::number(row) : QString());
        set(ItemField(n), chosen ? QString::number(c->itemData(row).toInt()) : QString());
    }

    if (!ini.save()) {
        MessageBox::critical(ini.failureText(), MessageBox::kErrorTitle);
        return;
    }
    bset_ = true;
    ProgramPrinter::instance().forget();   // the next print asks the printer again
    accept();
}

void Frmprintset::ButtnQuit_Click()
{
    bset_ = false;
    reject();
}
