// The printer and paper lists of the print settings dialogs.
#include "platform/MessageBox.h"
#include "report/PrintLists.h"
#include "report/ProgramPrinter.h"
#include "support/TestFolder.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QtTest>

class tst_PrintLists : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder(false));
        auto backend = std::make_shared<PdfPrinterBackend>();
        auto second = PdfPrinterBackend::standardPrinter(QStringLiteral("二号打印机"));
        second.defaultPaperCode = 8;
        PdfPrinterBackend::Printer none, broken;   // no paper; a paper query that fails
        none.name = QStringLiteral("无纸打印机");
        none.papers = QList<PaperInfo>();
        broken.name = QStringLiteral("故障打印机");
        for (const auto& p : {PdfPrinterBackend::standardPrinter(QStringLiteral("一号打印机")), second, none, broken})
            backend->addPrinter(p);
        ProgramPrinter::setBackend(backend);
        MessageBox::clearShown();
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void choosingPrinters()
    {
        QComboBox printers, papers;
        PrintLists::FillPrinterCombo(&printers);
        QCOMPARE(printers.count(), 4);
        QCOMPARE(printers.itemText(1), QStringLiteral("二号打印机"));

        printers.setCurrentIndex(0);
        PrintLists::cboPrinter_Click(&printers, &papers);
        QCOMPARE(papers.currentIndex(), 0);   // its current paper A4 is first
        QCOMPARE(papers.currentText(), QStringLiteral("A4"));

        printers.setCurrentIndex(1);
        PrintLists::cboPrinter_Click(&printers, &papers);
        QCOMPARE(ProgramPrinter::instance().printerName(), QStringLiteral("二号打印机"));
        QCOMPARE(papers.currentData().toInt(), 8);

        // No paper: the message, the normal cursor, and an empty list.
        printers.setCurrentIndex(2);
        PrintLists::cboPrinter_Click(&printers, &papers);
        QCOMPARE(papers.count(), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("该打印机无有效的打印纸张大小"));
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("打印"));
        QVERIFY(!QGuiApplication::overrideCursor());

        // A failed query empties the list without a message.
        printers.setCurrentIndex(0);
        PrintLists::cboPrinter_Click(&printers, &papers);
        printers.setCurrentIndex(3);
        PrintLists::cboPrinter_Click(&printers, &papers);
        QCOMPARE(papers.count(), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
    }

    void codeLists()
    {
        QComboBox q;
        const auto& codes = PrintLists::PrintQualityCodes();
        PrintLists::fillCodeCombo(&q, codes);
        int code = 0;
        QVERIFY(!PrintLists::selectedCode(&q, codes, &code));   // nothing chosen yet
        PrintLists::selectCode(&q, codes, -3);
        QVERIFY(PrintLists::selectedCode(&q, codes, &code) && code == -3);
        PrintLists::selectCode(&q, codes, -5);   // no such code: nothing chosen
        QCOMPARE(q.currentIndex(), -1);
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_PrintLists)
#include "tst_PrintLists.moc"
