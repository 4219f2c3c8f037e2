#include "report/FrmfindGrid.h"

#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "report/GridPrinter.h"
#include "report/PrintLists.h"
#include "report/ProgramPrinter.h"
#include "report/ReportUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit* makeBox(QWidget* parent, const char* name)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    return t;
}

void label(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 24);
}
}

FrmfindGrid& FrmfindGrid::instance()
{
    static FrmfindGrid* dialog = new FrmfindGrid;
    return *dialog;
}

FrmfindGrid::FrmfindGrid(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("打印设置"));
    setFixedSize(420, 330);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 404, 266);

    const int lx = 20, cx = 104, cw = 276;
    cboPrinter = PrintLists::makeList(Picdata, "cboPrinter");
    ComboPaper = PrintLists::makeList(Picdata, "ComboPaper");
    ComboColor = PrintLists::makeList(Picdata, "ComboColor");
    ComboDirection = PrintLists::makeList(Picdata, "ComboDirection");
    ComboQuality = PrintLists::makeList(Picdata, "ComboQuality");
    const std::pair<QComboBox*, QString> lists[] = {{cboPrinter, QStringLiteral("打 印 机：")},
                                                    {ComboPaper, QStringLiteral("打印纸张：")},
                                                    {ComboColor, QStringLiteral("颜色模式：")},
                                                    {ComboDirection, QStringLiteral("打印方向：")},
                                                    {ComboQuality, QStringLiteral("打印质量：")}};
    int y = 14;
    for (const auto& [combo, caption] : lists) {
        label(Picdata, caption, lx, y, 84);
        combo->setGeometry(cx, y, cw, 24);
        y += 32;
    }

    Ttop = makeBox(Picdata, "Ttop");
    Tbotton = makeBox(Picdata, "Tbotton");
    Tleft = makeBox(Picdata, "Tleft");
    Tright = makeBox(Picdata, "Tright");
    const std::pair<QLineEdit*, QString> margins[] = {{Ttop, QStringLiteral("上边距：")},
                                                      {Tbotton, QStringLiteral("下边距：")},
                                                      {Tleft, QStringLiteral("左边距：")},
                                                      {Tright, QStringLiteral("右边距：")}};
    for (int i = 0; i < 4; ++i) {
        const int mx = i % 2 == 0 ? lx : 212, my = y + (i / 2) * 32;
        label(Picdata, margins[i].second, mx, my, 64);
        margins[i].first->setGeometry(mx + 84, my, 84, 24);
    }
    label(Picdata, QStringLiteral("  单位： 毫米"), lx, y + 64, 200);

    buttonSave = new QvButton(QStringLiteral("保 存"), this);
    buttonSave->setObjectName(QStringLiteral("buttonSave"));
    buttonSave->setGeometry(228, 286, 86, 32);
    buttonBack = new QvButton(QStringLiteral("退 出"), this);
    buttonBack->setObjectName(QStringLiteral("buttonBack"));
    buttonBack->setGeometry(324, 286, 86, 32);
    connect(buttonSave, &QvButton::clicked, this, [this] { buttonSave_Click(); });
    connect(buttonBack, &QvButton::clicked, this, [this] { buttonBack_Click(); });
    connect(cboPrinter, &QComboBox::activated, this, [this] { cboPrinter_Click(); });
}

void FrmfindGrid::Form_Load()
{
    // The lists show what the printers answer now (a printer added meanwhile, its papers).
    ProgramPrinter::instance().forget();
    Skin::ApplyDialogSkin(this, Picdata, {buttonSave, buttonBack});
    LoadGridPrintSettings();
    // Empty lists are explained now, not first at 保存: no printer, or no print service.
    if (cboPrinter->count() == 0)
        MessageBox::critical(PrintQueue::noPrinterText(QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。"),
                                                       ProgramPrinter::backend().serviceDown()),
                             MessageBox::kErrorTitle);
}

void FrmfindGrid::cboPrinter_Click() { PrintLists::cboPrinter_Click(cboPrinter, ComboPaper); }

void FrmfindGrid::LoadGridPrintSettings()
{
    auto raw = [](const IniSetting& key) { return Modini::GetIniValue(key); };
    Ttop->setText(raw(IniKey::GridTop));
    Tbotton->setText(raw(IniKey::GridBottom));
    Tleft->setText(raw(IniKey::GridLeft));
    Tright->setText(raw(IniKey::GridRight));

    // A code that is missing or no number selects nothing; the checks then ask for it.
    const QString printer = raw(IniKey::GridPrinterName);
    const auto paper = ReportUnits::toCode16(raw(IniKey::GridPaper));
    const auto color = ReportUnits::toCode16(raw(IniKey::GridColor));
    const auto direction = ReportUnits::toCode16(raw(IniKey::GridDirection));
    const auto quality = ReportUnits::toCode16(raw(IniKey::GridQuality));

    PrintLists::FillPrinterCombo(cboPrinter);
    ComboPaper->clear();
    // The program's current printer first, then the saved one when it is installed.
    for (const QString& name : {ProgramPrinter::instance().printerName(), printer}) {
        const int row = name.isEmpty() ? -1 : cboPrinter->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (row >= 0) {
            cboPrinter->setCurrentIndex(row);
            cboPrinter_Click();
        }
    }
    // A stored paper the printer does not offer keeps the printer's own.
    if (!paper)
        ComboPaper->setCurrentIndex(-1);
    else if (const int row = ComboPaper->findData(*paper); row >= 0)
        ComboPaper->setCurrentIndex(row);

    const std::tuple<QComboBox*, const QList<PrintLists::Code>&, std::optional<int>> modes[] = {
        {ComboColor, PrintLists::ColorModeCodes(), color},
        {ComboDirection, PrintLists::OrientationCodes(), direction},
        {ComboQuality, PrintLists::PrintQualityCodes(), quality}};
    for (const auto& [combo, table, code] : modes) {
        PrintLists::fillCodeCombo(combo, table);
        if (code)
            PrintLists::selectCode(combo, table, *code);
    }
}

bool FrmfindGrid::ValidateGridPrintSettings()
{
    int code = 0;
    const std::pair<bool, std::pair<QComboBox*, QString>> lists[] = {
        {PrintLists::chosenRow(cboPrinter) >= 0,
         {cboPrinter, cboPrinter->count() == 0 ? PrintQueue::noPrinterText(QStringLiteral("请选择正确的打印机"),
                                                                           ProgramPrinter::backend().serviceDown())
                                               : QStringLiteral("请选择正确的打印机")}},
        {PrintLists::chosenRow(ComboPaper) >= 0, {ComboPaper, QStringLiteral("请选择正确的打印纸张")}},
        {PrintLists::selectedCode(ComboColor, PrintLists::ColorModeCodes(), &code),
         {ComboColor, QStringLiteral("请选择正确的打印颜色模式设置")}},
        {PrintLists::selectedCode(ComboDirection, PrintLists::OrientationCodes(), &code),
         {ComboDirection, QStringLiteral("请选择正确的打印方向设置")}},
        {PrintLists::selectedCode(ComboQuality, PrintLists::PrintQualityCodes(), &code),
         {ComboQuality, QStringLiteral("请选择正确的打印质量设置")}}};
    for (const auto& [ok, failure] : lists) {
        if (!ok) {
            MessageBox::critical(failure.second, MessageBox::kSettingsErrorTitle);
            PrintLists::focusAndSelect(failure.first);
            return false;
        }
    }
    const std::pair<QLineEdit*, QString> margins[] = {{Ttop, QStringLiteral("上边距应该为数字")},
                                                      {Tbotton, QStringLiteral("下边距应该为数字")},
                                                      {Tleft, QStringLiteral("左边距应该为数字")},
                                                      {Tright, QStringLiteral("右边距应该为数字")}};
    for (const auto& [box, message] : margins) {
        if (!NumberText::Parse(box->text())) {
            MessageBox::critical(message, MessageBox::kErrorTitle);
            PrintLists::focusAndSelect(box);
            return false;
        }
    }
    // Margins that leave no room for a line of the list on the paper chosen.
    int direction = 0;
    PrintLists::selectedCode(ComboDirection, PrintLists::OrientationCodes(), &direction);
    const auto page = ProgramPrinter::printableSizeMm(cboPrinter->itemText(PrintLists::chosenRow(cboPrinter)),
                                                      ComboPaper->currentData().toInt(), direction);
    auto mm = [](const QLineEdit* box) { return NumberText::Parse(box->text()).value_or(0); };
    const PageRoom::Margins typed{mm(Ttop), mm(Tbotton), mm(Tleft), mm(Tright)};
    const auto refusal =
        page ? PageRoom::check(*page, typed, GridPrinter::roomForALine()) : PageRoom::negativeMargin(typed);
    if (refusal) {
        QLineEdit* const boxes[] = {Ttop, Tbotton, Tleft, Tright};
        MessageBox::critical(PageRoom::refusalText(*refusal), MessageBox::kErrorTitle);
        PrintLists::focusAndSelect(boxes[int(refusal->field)]);
        return false;
    }
    return true;
}

void FrmfindGrid::buttonSave_Click()
{
    if (!ValidateGridPrintSettings())
        return;
    int color = 0, direction = 0, quality = 0;
    PrintLists::selectedCode(ComboColor, PrintLists::ColorModeCodes(), &color);
    PrintLists::selectedCode(ComboDirection, PrintLists::OrientationCodes(), &direction);
    PrintLists::selectedCode(ComboQuality, PrintLists::PrintQualityCodes(), &quality);
    const std::pair<IniSetting, QString> values[] = {
        {IniKey::GridTop, Ttop->text()},
        {IniKey::GridBottom, Tbotton->text()},
        {IniKey::GridLeft, Tleft->text()},
        {IniKey::GridRight, Tright->text()},
        {IniKey::GridPrinterName, cboPrinter->currentText()},
        {IniKey::GridPaper, QString::number(ComboPaper->currentData().toInt())},
        {IniKey::GridColor, QString::number(color)},
        {IniKey::GridDirection, QString::number(direction)},
        {IniKey::GridQuality, QString::number(quality)}};
    // All nine keys in one write: a file that cannot be read or written keeps what it had.
    IniFile ini = IniFile::forSaving(AppPaths::iniFile());
    for (const auto& [key, value] : values)
        ini.setValue(key.section, key.key, value);
    if (!ini.save()) {   // refuses an unreadable file and says why
        MessageBox::critical(ini.failureText(), MessageBox::kErrorTitle);
        return;
    }
    ProgramPrinter::instance().forget();   // the next print asks the printer again
    accept();
}

void FrmfindGrid::buttonBack_Click() { reject(); }
