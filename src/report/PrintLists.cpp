#include "report/PrintLists.h"

#include "platform/MessageBox.h"
#include "report/PrintQueue.h"
#include "report/PrintService.h"
#include "report/ProgramPrinter.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>

namespace PrintLists {

const QList<Code>& ColorModeCodes()
{
    static const QList<Code> t{{QStringLiteral("单色输出"), 1}, {QStringLiteral("彩色输出"), 2}};
    return t;
}

const QList<Code>& OrientationCodes()
{
    static const QList<Code> t{{QStringLiteral("纵向打印"), 1}, {QStringLiteral("横向打印"), 2}};
    return t;
}

const QList<Code>& PrintQualityCodes()
{
    static const QList<Code> t{{QStringLiteral("草稿打印质量"), -1},
                               {QStringLiteral("低级打印质量"), -2},
                               {QStringLiteral("中等打印质量"), -3},
                               {QStringLiteral("高级打印质量"), -4}};
    return t;
}

void fillCodeCombo(QComboBox* combo, const QList<Code>& table)
{
    combo->clear();
    for (const Code& c : table)
        combo->addItem(c.text);
    combo->setCurrentIndex(-1);
}

void selectCode(QComboBox* combo, const QList<Code>& table, int code)
{
    for (int i = 0; i < table.size() && i < combo->count(); ++i) {
        if (table[i].code == code) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(-1);
}

bool selectedCode(const QComboBox* combo, const QList<Code>& table, int* code)
{
    const int row = chosenRow(combo);
    if (row < 0 || row >= table.size())
        return false;
    *code = table[row].code;
    return true;
}

QComboBox* makeList(QWidget* parent, const char* name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

int chosenRow(const QComboBox* list)
{
    const int row = list->currentIndex();
    return row >= 0 && list->itemText(row) == list->currentText() ? row : -1;
}

void focusAndSelect(QWidget* control)
{
    control->setFocus();
    if (auto* c = qobject_cast<QComboBox*>(control)) {
        if (c->lineEdit())
            c->lineEdit()->selectAll();
    } else if (auto* t = qobject_cast<QLineEdit*>(control)) {
        t->selectAll();
    }
}

void FillPrinterCombo(QComboBox* printers)
{
    printers->clear();
    printers->addItems(ProgramPrinter::instance().printerNames());
    printers->setCurrentIndex(-1);
}

void FillPaperCombo(QComboBox* papers)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ProgramPrinter& printer = ProgramPrinter::instance();
    const int givenUpBefore = PrintService::givenUp();
    const auto list = printer.papers();
    papers->clear();
    if (list && list->isEmpty()) {
        QGuiApplication::restoreOverrideCursor();
        MessageBox::show(QStringLiteral("该打印机无有效的打印纸张大小"), MessageBox::kPrintTitle,
                         MessageBox::Icon::Information);
        return;
    }
    if (!list && (PrintService::stalled() || PrintService::givenUp() != givenUpBefore)) {
        // The printer's papers were asked and the print service did not answer.
        QGuiApplication::restoreOverrideCursor();
        MessageBox::critical(PrintQueue::noPrinterText(QString(), PrintQueue::Outage(QString(), true)),
                             MessageBox::kErrorTitle);
        return;
    }
    if (list) {
        for (const PaperInfo& p : *list)
            papers->addItem(p.name, p.code);
        papers->setCurrentIndex(papers->findData(printer.paperCode()));
    }
    QGuiApplication::restoreOverrideCursor();
}

void cboPrinter_Click(QComboBox* printers, QComboBox* papers)
{
    if (!ProgramPrinter::instance().selectPrinterAt(printers->currentIndex()))
        return;
    FillPaperCombo(papers);
}
}
