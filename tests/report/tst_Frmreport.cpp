// The print preview window: paging, zoom, the pane and its wheel, printing to PDF,
// the settings dialog from the preview, and reports that cannot be shown.
#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Mmain.h"
#include "core/Openers.h"
#include "core/QvButton.h"
#include "core/QvScrollBar.h"
#include "core/ReportList.h"
#include "core/SkinPanel.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/PrivateFileTesting.h"
#include "report/Frmprintset.h"
#include "report/Frmreport.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportOpeners.h"
#include "report/ReportPaperWidget.h"
#include "support/CoreKit.h"
#include "support/OtherAccount.h"
#include "support/PdfKit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A findings text of n numbered lines.
QString lines(int n)
{
    QStringList l;
    for (int i = 1; i <= n; ++i)
        l << QStringLiteral("第%1行：双肺纹理清晰，走行自然。").arg(i);
    return l.join(QLatin1Char('\n'));
}

void leftPress(QvButton* b) { QTest::mousePress(b, Qt::LeftButton); }

void wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
}

class tst_Frmreport : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = kit::freshFolder();
        QVERIFY(folder_->ok());
        ReportOpeners::registerAll();
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("报告打印机")));
        PdfPrinterBackend::Printer wide = PdfPrinterBackend::standardPrinter(QStringLiteral("窄边打印机"));
        wide.margins = QMarginsF(30, 60, 30, 60);   // a much smaller printable page
        backend_->addPrinter(wide);
        backend_->setOutputFile(folder_->file(QStringLiteral("out.pdf")));
        ProgramPrinter::setBackend(backend_);
        Mmain::gHospitalName = QStringLiteral("东方市第一人民医院");
        grid_.reset(ReportList::CreateView(nullptr));
    }
    void cleanup()
    {
        grid_.reset();
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void pagingPrintingAndSettings()
    {
        // One page: both page buttons off.
        open(addReport(lines(3)), [&](Frmreport& w) {
            QCOMPARE(w.Labelpagecount->text(), QStringLiteral("共 1 页"));
            QCOMPARE(w.Labelpagedq->text(), QStringLiteral("第 1 页"));
            QVERIFY(!w.Cpageup->isEnabled() && !w.Cpagedown->isEnabled());
        });

        const qint64 three = addReport(lines(threePageLines()));
        open(three, [&](Frmreport& w) {
            QCOMPARE(w.Labelpagecount->text(), QStringLiteral("共 3 页"));
            const QImage page1 = w.Picpaper->surface().image();
            QTest::mousePress(w.Cpagedown, Qt::RightButton);   // only the left button pages
            QCOMPARE(w.currentPage(), 1);
            leftPress(w.Cpagedown);
            QVERIFY(w.Cpageup->isEnabled() && w.Cpagedown->isEnabled());
            QVERIFY(w.Picpaper->surface().image() != page1);
            leftPress(w.Cpagedown);
            QCOMPARE(w.Labelpagedq->text(), QStringLiteral("第 3 页"));
            QVERIFY(!w.Cpagedown->isEnabled());
            leftPress(w.Cpageup);
            leftPress(w.Cpageup);
            QCOMPARE(w.Labelpagedq->text(), QStringLiteral("第 1 页"));
            QVERIFY(!w.Cpageup->isEnabled() && w.Cpagedown->isEnabled());

            // Printed: as many pages as the preview counts; the preview stays on its page.
            leftPress(w.Cpagedown);
            w.CmdPrint->click();
            QCOMPARE(MessageBox::shownBoxes().size(), 0);
            QCOMPARE(kit::pdfPages(folder_->file(QStringLiteral("out.pdf"))), 3);
            QVERIFY(w.pageCount() == 3 && w.currentPage() == 2);

            // A zoom chosen from the list draws the same page at that size.
            const QImage page2 = w.Picpaper->surface().image();
            w.Combosf->setCurrentIndex(w.Combosf->findText(QStringLiteral("65%")));
            emit w.Combosf->activated(w.Combosf->currentIndex());
            QVERIFY(w.zoom() == 0.65 && w.currentPage() == 2 && w.Labelpagedq->text() == QStringLiteral("第 2 页"));
            QVERIFY(std::abs(w.Picpaper->width() - 0.65 * page2.width()) <= 2);

            // The settings dialog left by 退 出 changes nothing; saved (with larger margins
            // and body text) the preview is laid out again from page 1.
            leftPress(w.Cpagedown);
            const QImage page3 = w.Picpaper->surface().image();
            bool quit = true, waited = false;
            dialogHook_ = [&](QDialog* d) {
                auto* set = qobject_cast<Frmprintset*>(d);
                if (!set)
                    return 0;
                waited = !w.isEnabled();   // the preview waits while the dialog is open
                if (quit) {
                    set->ButtnQuit->click();
                } else {
                    set->Tleft->setText(QStringLiteral("30"));
                    set->ButtnSave->click();
                }
                return 0;
            };
            w.CmdPrintSet->click();
            QVERIFY(waited && w.isEnabled());
            QVERIFY(w.currentPage() == 3 && w.Picpaper->surface().image() == page3);
            quit = false;
            w.CmdPrintSet->click();
            QVERIFY(w.currentPage() == 1 && w.pageCount() >= 3);
            QCOMPARE(w.Labelpagedq->text(), QStringLiteral("第 1 页"));
            QVERIFY(!w.Cpageup->isEnabled() && w.Cpagedown->isEnabled());
            QVERIFY(w.Picpaper->surface().image() != page1);

            // Another printer chosen in the dialog and left by 退 出: its smaller printable
            // page is what the next print lays out, and the preview shows that same layout
            // (pages and labels) before it prints.
            const int before = w.pageCount();
            quit = true;
            dialogHook_ = [&](QDialog* d) {
                auto* set = qobject_cast<Frmprintset*>(d);
                if (!set)
                    return 0;
                set->cboPrinter->setCurrentIndex(set->cboPrinter->findText(QStringLiteral("窄边打印机")));
                set->cboPrinter_Click();
                set->ButtnQuit->click();
                return 0;
            };
            w.CmdPrintSet->click();
            w.CmdPrint->click();
            const int printed = kit::pdfPages(folder_->file(QStringLiteral("out.pdf")));
            QVERIFY(printed > before);
            QCOMPARE(w.pageCount(), printed);
            QCOMPARE(w.Labelpagecount->text(), QStringLiteral("共 %1 页").arg(printed));
            QCOMPARE(w.currentPage(), 1);
        });
    }

    void printingThatFailsAfterTheJobLeft()
    {
        // The job is written to a spool file, checked, and handed to the queue; whatever the
        // queue or the disk does to it is said under 错误 with the printer's name, in the
        // program's words with the print service's own after them, and the preview stays open
        // on its page. The spool file never stays behind.
        const QString spool = folder_->file(QStringLiteral("spool"));
        backend_->setSpoolFolder(spool);
        const QString out = folder_->file(QStringLiteral("out.pdf"));
        auto spoolEmpty = [&] { return QDir(spool).entryList(QDir::Files | QDir::Hidden).isEmpty(); };
        open(addReport(lines(3)), [&](Frmreport& w) {
            // The queue refuses the submission; the service is down; its spool is full; the
            // printer is gone; the pages were cut short on the way without a word from the service.
            using A = PrintQueue::Answer;
            const struct {
                A::Failure why;
                QString detail, said, notSaid;
            } refusals[] = {
                {A::Refused, QStringLiteral("The printer or class is not accepting jobs."),
                 QStringLiteral("拒绝了打印作业（CUPS：The printer or class is not accepting jobs.）"), QString()},
                {A::ServiceDown, QStringLiteral("No such file or directory"),
                 QStringLiteral("打印服务没有运行，打印作业没有送到打印机“报告打印机”；请启动打印服务（CUPS）后再打印"),
                 QStringLiteral("CUPS：")},
                {A::SpoolFull, QStringLiteral("Request Entity Too Large"),
                 QStringLiteral(
                     "队列空间已满，打印机“报告打印机”没有收下打印作业；请系统管理员清理打印服务的磁盘后再打印"
                     "（CUPS：Request Entity Too Large）"),
                 QStringLiteral("拒绝")},
                {A::NoPrinter, QStringLiteral("No such file or directory"),
                 QStringLiteral(
                     "打印服务中已没有打印机“报告打印机”（可能已被删除），打印作业没有送出；请在打印设置中另选打印机"),
                 QStringLiteral("拒绝")},
                {A::NotWhole, QString(), QStringLiteral("打印作业没有完整送到打印机“报告打印机”的队列"),
                 QStringLiteral("CUPS")},
            };
            int forgotten = 0;
            for (const auto& r : refusals) {
                backend_->refuseSubmissions(r.why, r.detail);
                w.CmdPrint->click();
                QVERIFY(failedOnce(r.said));
                QVERIFY(r.notSaid.isEmpty() || !lastFailure_.contains(r.notSaid));
                QVERIFY(!QFile::exists(out) && spoolEmpty());
                QVERIFY(w.isVisible() && w.CmdPrint->isEnabled() && w.currentPage() == 1);
                QVERIFY(backend_->forgotten() > forgotten);   // the next print asks the printer again
                forgotten = backend_->forgotten();
            }
            backend_->refuseSubmissions(A::None);

            // The temporary folder is full: the job file is cut short, and nothing goes to the
            // queue, on the first page as on a later one.
            {
                kit::FileSizeLimit full(16 * 1024);
                QVERIFY(full.ok());
                w.CmdPrint->click();
            }
            QVERIFY(failedOnce(QStringLiteral("没有完整写入临时文件")));
            QVERIFY(!QFile::exists(out) && spoolEmpty() && backend_->submitted() == 0);
            QVERIFY(backend_->forgotten() > forgotten && w.isVisible());
        });
        open(addReport(lines(threePageLines())), [&](Frmreport& w) {
            QCOMPARE(w.pageCount(), 3);
            for (const rlim_t limit : {rlim_t(0), rlim_t(16 * 1024)}) {
                {
                    kit::FileSizeLimit full(limit);
                    QVERIFY(full.ok());
                    w.CmdPrint->click();
                }
                QVERIFY(failedOnce(QStringLiteral("没有完整写入临时文件夹 %1 中的临时文件").arg(spool)));
                QVERIFY(!QFile::exists(out) && spoolEmpty() && backend_->submitted() == 0);
            }
        });
        open(addReport(lines(3)), [&](Frmreport& w) {
            // Accepted, then aborted by the queue at once; canceled at once.
            using S = PrintQueue::JobStatus;
            backend_->setJobStates({job(S::Aborted, QStringLiteral("Filter failed"))});
            w.CmdPrint->click();
            QVERIFY(failedOnce(QStringLiteral("已中止，没有打印出来；请排除原因后重新打印（CUPS：Filter failed）")));
            QCOMPARE(backend_->submitted(), 1);
            backend_->setJobStates({job(S::Canceled, QString(), {QStringLiteral("job-canceled-by-user")})});
            w.CmdPrint->click();
            QVERIFY(failedOnce(QStringLiteral("已被取消，没有打印出来；如仍需要，请重新打印（CUPS：用户取消了作业）")));

            // Accepted, still waiting when the print returns, canceled, aborted or stopped
            // (its device cannot be written) a moment later: said then.
            for (const auto& [ended, said] :
                 {std::pair(job(S::Canceled, QString(), {QStringLiteral("job-canceled-by-operator")}),
                            QStringLiteral("已被取消，没有打印出来；如仍需要，请重新打印（CUPS：管理员取消了作业）")),
                  std::pair(job(S::Aborted, QStringLiteral("Filter failed")), QStringLiteral("已中止")),
                  std::pair(job(S::Waiting, QString(), {QStringLiteral("job-printing")}, 6),
                            QStringLiteral("的设备出错"))}) {
                backend_->setJobStates({job(S::Waiting), job(S::Waiting), ended});
                w.CmdPrint->click();
                QVERIFY(MessageBox::shownBoxes().isEmpty());
                QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shownBoxes().isEmpty(), 20000);
                QVERIFY(failedOnce(said));
            }

            // Taken by a paused printer: it waits in the queue, said once under 打印 (no error)
            // however often the queue is asked afterwards, and the job is left there.
            const int taken = backend_->submitted();
            S paused = job(S::Waiting, QStringLiteral("纸盒维护"));
            paused.printerPaused = true;
            backend_->setJobStates({paused});
            const int asked = backend_->statusAsked();
            w.CmdPrint->click();
            QTRY_VERIFY_WITH_TIMEOUT(backend_->statusAsked() >= asked + 4, 20000);
            const auto shown = MessageBox::shownBoxes();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QStringLiteral("打印"));
            QCOMPARE(shown[0].text, QStringLiteral("打印机“报告打印机”已暂停，打印作业（%1 号）在它的队列中等待，"
                                                   "打印机恢复后才会打印出来（CUPS：纸盒维护）")
                                        .arg(taken + 1));
            QVERIFY(QFile::exists(out) && backend_->submitted() == taken + 1);
            MessageBox::clearShown();

            // A job the queue completes says nothing, and its pages are whole. The pages a
            // killed program left in the spool folder go; a job just begun (another copy's) stays.
            const QString stale = spool + QStringLiteral("/job-left.pdf");
            const QString current = spool + QStringLiteral("/job-now.pdf");
            QVERIFY(writeFile(stale) && writeFile(current) && age(stale));
            backend_->setJobStates({});
            w.CmdPrint->click();
            QVERIFY(MessageBox::shownBoxes().isEmpty());
            QCOMPARE(kit::pdfPages(out), 1);
            QVERIFY(!QFile::exists(stale) && QFile::exists(current));
            QVERIFY(QFile::remove(current) && spoolEmpty());
        });
    }

    void printServiceNotRunningAtFirst()
    {
        // The print service did not answer when the program started: no printer is known,
        // and a print says why in the program's words (the service's own, which tell nothing
        // here, left out).
        // Once the service runs, the next print finds the stored printer again.
        QVERIFY(kit::setIni("printer", "mPrinter", QStringLiteral("窄边打印机")));
        backend_->setServiceDown(QStringLiteral("Bad file descriptor"));
        ProgramPrinter::setBackend(backend_);
        QVERIFY(!ProgramPrinter::instance().hasPrinter());
        const QString out = folder_->file(QStringLiteral("out.pdf"));
        open(addReport(lines(3)), [&](Frmreport& w) {
            w.CmdPrint->click();
            QVERIFY(failedOnce(
                QStringLiteral("打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作"), QString()));
            QVERIFY(!lastFailure_.contains(QStringLiteral("CUPS：")));
            QVERIFY(!QFile::exists(out) && w.isVisible() && w.CmdPrint->isEnabled());
            backend_->setServiceDown(std::nullopt);
            w.CmdPrint->click();
            QVERIFY(MessageBox::shownBoxes().isEmpty());
            QCOMPARE(kit::pdfPages(out), 1);
            QCOMPARE(ProgramPrinter::instance().printerName(), QStringLiteral("窄边打印机"));
        });
    }

    void spoolFolderCheckedBeforeAnythingInIt()
    {
        // The folder of print jobs is used only when it is this account's own, not another
        // account's link, and no other account may write in it; until then nothing in it, or
        // where it points, is removed: not at the start, not before a print.
        const QString target = folder_->file(QStringLiteral("own"));
        QVERIFY(QDir().mkdir(target)
                && QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString old = target + QStringLiteral("/job-mine.pdf");   // the user's own file, an hour old
        QVERIFY(writeFile(old) && age(old));
        // The system's temporary folder, which every account may write: another account's link
        // there (only an account that can act as another makes one).
        const QString tmp = folder_->file(QStringLiteral("tmp"));
        const QString link = tmp + QStringLiteral("/ws-print-%1").arg(::geteuid());
        const bool others = kit::canActAsOthers();
        QVERIFY(QDir().mkpath(tmp) && ::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
        QVERIFY(!others || kit::linkAs(target, link, kit::kNobody));

        // At the start: the program's spool folder (in TMPDIR) is that link.
        const QByteArray tmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(folder_->file(QStringLiteral("tmp"))));
        ReportOpeners::registerAll();
        tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
        QVERIFY(QFile::exists(old));

        // Before a print: refused, naming the link and what to do; nothing printed, nothing removed.
        backend_->setSpoolFolder(link);
        const QString out = folder_->file(QStringLiteral("out.pdf"));
        open(addReport(lines(3)), [&](Frmreport& w) {
            if (others) {
                w.CmdPrint->click();
                QVERIFY(failedOnce(QStringLiteral("%1 是另一个账户的链接").arg(link)));
                QVERIFY(lastFailure_.contains(QStringLiteral("请系统管理员删除这个链接")));
                QVERIFY(QFile::exists(old) && !QFile::exists(out) && backend_->submitted() == 0);
            }

            // A folder of the user's own that other accounts may write: refused the same way,
            // with what to do, and left as it is.
            backend_->setSpoolFolder(target);
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                                      | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
            w.CmdPrint->click();
            QVERIFY(failedOnce(QStringLiteral("存放打印作业的文件夹 %1 其他帐户也可以写入").arg(target)));
            QVERIFY(lastFailure_.contains(QStringLiteral("请删除这个文件夹")));
            QVERIFY(QFile::exists(old) && backend_->submitted() == 0);

            // Another account's folder: one the test gives away when it runs as root, else the
            // root folder (refused before anything in it is looked at).
            const bool root = ::geteuid() == 0;
            const QString others = root ? target : QStringLiteral("/");
            QVERIFY(!root || ::chown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
            backend_->setSpoolFolder(others);
            w.CmdPrint->click();
            QVERIFY(failedOnce(QStringLiteral("存放打印作业的文件夹 %1 属于另一个帐户").arg(others)));
            QVERIFY(QFile::exists(old) && backend_->submitted() == 0);
            QVERIFY(!root || ::chown(QFile::encodeName(target).constData(), 0, 0) == 0);
            backend_->setSpoolFolder(target);

            // The user's own folder that others may only read and enter (made with umask 022):
            // closed to them, then used, silently; the old job file in it goes now.
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                      | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                      | QFile::ExeOther));
            w.CmdPrint->click();
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(kit::lastText()));
            QCOMPARE(kit::pdfPages(out), 1);
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0700));
            QVERIFY(!QFile::exists(old));
        });
    }

    void spoolFileReachedThroughItsDescriptor()
    {
        // Once its folder is checked, the job's file is reached only through the program's
        // own descriptor: a link put in the folder's place before the first page takes
        // nothing (not a name made or removed where it points), and the job prints whole.
        const QString spool = folder_->file(QStringLiteral("spool"));
        const QString moved = folder_->file(QStringLiteral("moved"));
        const QString elsewhere = folder_->file(QStringLiteral("elsewhere"));
        const QByteArray untouched = QFile::encodeName(elsewhere);
        const timespec longAgo[2] = {{1000000, 0}, {1000000, 0}};
        QVERIFY(QDir().mkdir(elsewhere) && ::utimensat(AT_FDCWD, untouched.constData(), longAgo, 0) == 0);
        backend_->setSpoolFolder(spool);
        QVERIFY(ProgramPrinter::instance().selectPrinter(QStringLiteral("报告打印机")));
        QString failure;
        std::unique_ptr<PrintJob> job =
            ProgramPrinter::instance().newJob([&](const ReportError& e) { failure = e.description; });
        QVERIFY2(job, qPrintable(failure));
        QVERIFY(QFile::rename(spool, moved) && QFile::link(elsewhere, spool));
        job->painter()->drawText(QPointF(100, 100), QStringLiteral("第1行"));
        job->endDoc();
        job.reset();
        QCOMPARE(kit::pdfPages(folder_->file(QStringLiteral("out.pdf"))), 1);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QVERIFY(QDir(elsewhere).isEmpty(all) && QDir(moved).isEmpty(all));
        struct stat st {};
        QVERIFY(::stat(untouched.constData(), &st) == 0 && st.st_mtime == 1000000);
    }

    void namedJobFilesWhereNoUnnamedOnes()
    {
        // Where the file system has no unnamed files, a job's file has a hidden name: one a
        // killed program left goes before the next print, the file of a job still being
        // written (another copy's) stays, and the job's own goes with it.
        PrivateFile::setUnnamedTemporaries(false);
        const auto unnamed = qScopeGuard([] { PrivateFile::setUnnamedTemporaries(true); });
        const QString spool = folder_->file(QStringLiteral("spool"));
        backend_->setSpoolFolder(spool);
        QVERIFY(ProgramPrinter::instance().selectPrinter(QStringLiteral("报告打印机")));
        const auto files = [&] { return QDir(spool).entryList(QDir::Files | QDir::Hidden); };
        QString failure;
        const auto newJob = [&] {
            return ProgramPrinter::instance().newJob([&](const ReportError& e) { failure = e.description; });
        };
        std::unique_ptr<PrintJob> running = newJob();
        QVERIFY2(running, qPrintable(failure));
        const QStringList held = files();
        QCOMPARE(held.size(), 1);
        const QString left = spool + QStringLiteral("/.pelrand-Left01");
        QVERIFY(writeFile(left));

        std::unique_ptr<PrintJob> job = newJob();
        QVERIFY2(job, qPrintable(failure));
        QVERIFY(!QFile::exists(left) && files().contains(held[0]) && files().size() == 2);
        job->painter()->drawText(QPointF(100, 100), QStringLiteral("第1行"));
        job->endDoc();
        job.reset();
        QCOMPARE(kit::pdfPages(folder_->file(QStringLiteral("out.pdf"))), 1);
        QCOMPARE(files(), held);
        running.reset();
        QVERIFY(files().isEmpty());
    }

    void zoomStepsAndLimits()
    {
        const qint64 id = addReport(lines(3));
        open(id, [&](Frmreport& w) {
            QCOMPARE(w.Combosf->currentText(), QStringLiteral("100%"));
            const int width100 = w.Picpaper->width();
            for (int p = 105; p <= 150; p += 5) {
                w.Cmdup->click();
                QCOMPARE(w.Combosf->currentText(), QString::number(p) + QLatin1Char('%'));
            }
            QVERIFY(std::abs(w.Picpaper->width() - 1.5 * width100) <= 2);
            w.Cmdup->click();   // past the limit: the button goes off, the zoom stays
            QVERIFY(!w.Cmdup->isEnabled() && w.zoom() == 1.5);
            w.Cmddown->click();
            QVERIFY(w.Cmdup->isEnabled() && w.Combosf->currentText() == QStringLiteral("145%"));

            // A text that is no zoom is ignored.
            w.Combosf->setCurrentIndex(w.Combosf->findText(QStringLiteral("55%")));
            emit w.Combosf->activated(w.Combosf->currentIndex());
            QVERIFY(w.zoom() == 0.55 && std::abs(w.Picpaper->width() - 0.55 * width100) <= 2);
            w.Cmddown->click();
            QVERIFY(!w.Cmddown->isEnabled() && w.zoom() == 0.55);
            w.Combosf->setEditText(QStringLiteral("abc"));
            w.Cmdup->click();
            QCOMPARE(w.Combosf->currentText(), QStringLiteral("60%"));
            w.Combosf->setEditText(QStringLiteral("99999%"));
            emit w.Combosf->activated(0);
            QVERIFY(w.zoom() == 0.6 && w.Combosf->currentText() == QStringLiteral("60%"));
            // A zoom typed and confirmed with Enter is taken, list entry or not; a text that is
            // no zoom in range, or one left without Enter, gives way to the zoom in use.
            auto type = [&w](const QString& text, bool enter) {
                w.Combosf->lineEdit()->selectAll();
                QTest::keyClicks(w.Combosf->lineEdit(), text);
                if (enter)
                    QTest::keyClick(w.Combosf->lineEdit(), Qt::Key_Return);
                else
                    emit w.Combosf->lineEdit()->editingFinished();
            };
            type(QStringLiteral("90"), true);
            QVERIFY2(w.zoom() == 0.9 && w.Combosf->currentText() == QStringLiteral("90%"),
                     qPrintable(w.Combosf->currentText()));
            QVERIFY(std::abs(w.Picpaper->width() - 0.9 * width100) <= 2);
            type(QStringLiteral("123%"), true);
            QVERIFY(w.zoom() == 1.23 && w.Combosf->currentText() == QStringLiteral("123%"));
            for (const QString& bad :
                 {QStringLiteral("abc"), QStringLiteral("600%"), QStringLiteral("0%"), QString()}) {
                type(bad, true);
                QVERIFY2(w.zoom() == 1.23 && w.Combosf->currentText() == QStringLiteral("123%"), qPrintable(bad));
            }
            type(QStringLiteral("65%"), true);
            QVERIFY(w.zoom() == 0.65 && w.Combosf->currentText() == QStringLiteral("65%"));
            type(QStringLiteral("80"), false);
            QVERIFY(w.zoom() == 0.65 && w.Combosf->currentText() == QStringLiteral("65%"));
        });

        // A stored 0.83 shows 83 % and steps to the next multiples of 5; zoom buttons are on again.
        kit::setIni("parameter", "Zoom", QStringLiteral("0.83"));
        open(id, [&](Frmreport& w) {
            QVERIFY(w.Cmdup->isEnabled() && w.Cmddown->isEnabled());
            QCOMPARE(w.Combosf->currentText(), QStringLiteral("83%"));
            w.Cmdup->click();
            QCOMPARE(w.Combosf->currentText(), QStringLiteral("85%"));
        });
        open(id, [&](Frmreport& w) {
            w.Cmddown->click();
            QCOMPARE(w.Combosf->currentText(), QStringLiteral("75%"));
        });
        // A zoom of 0 or one far too large for the screen is 100 %.
        for (const char* stored : {"0", "-1", "80"}) {
            kit::setIni("parameter", "Zoom", QString::fromLatin1(stored));
            open(id, [&](Frmreport& w) { QCOMPARE(w.Combosf->currentText(), QStringLiteral("100%")); });
        }
    }

    void paneLayoutAndWheel()
    {
        // Scroll ranges in steps of 10 mm round halves to the even number (12.5 and 30.5).
        const auto large = Frmreport::layoutFor(QSizeF(200, 150), QSizeF(315, 445));
        QVERIFY(large.hMax == 12 && large.vMax == 30);

        open(addReport(lines(3)), [&](Frmreport& w) {
            w.resize(700, 500);
            w.Combosf->setEditText(QStringLiteral("145%"));
            w.Cmdup->click();
            QVERIFY(w.HScroll1->isVisible() && w.VScroll1->isVisible() && w.ShapeJ->isVisible());
            QCOMPARE(w.VScroll1->geometry().right() + 1, w.Picprview->width());
            QVERIFY(w.VScroll1->Max() > 3 && w.VScroll1->Value() == 0);

            // The wheel anywhere in the window moves the page by 10 mm a notch.
            wheel(w.Picpaper, -240);
            QCOMPARE(w.VScroll1->Value(), 2);
            QCOMPARE(w.PicpaperFrame->y(), -76);   // 20 mm at 96 dpi
            wheel(w.Combosf, 120);
            QCOMPARE(w.VScroll1->Value(), 1);
            wheel(w.Pictool, 60);
            QCOMPARE(w.VScroll1->Value(), 1);
            w.HScroll1->setValue(1);
            QCOMPARE(w.PicpaperFrame->x(), -38);

            // Small enough, the page is centred and no bar is shown, whatever a bar's value was.
            w.resize(1600, 1200);
            w.Combosf->setEditText(QStringLiteral("60%"));
            w.Cmddown->click();
            QVERIFY(!w.HScroll1->isVisible() && !w.VScroll1->isVisible() && !w.ShapeJ->isVisible());
            wheel(w.Picpaper, -120);
            const QSize gap = w.Picprview->size() - w.PicpaperFrame->size();
            QVERIFY(std::abs(w.PicpaperFrame->x() - gap.width() / 2) <= 1);
            QVERIFY(std::abs(w.PicpaperFrame->y() - gap.height() / 2) <= 1);
        });
        // Closed, the window no longer takes the wheel.
        Frmreport& w = Frmreport::instance();
        const int before = w.VScroll1->Value();
        wheel(w.Picpaper, -120);
        QCOMPARE(w.VScroll1->Value(), before);
    }

    void picturesAndReportsNotShown()
    {
        // Pictures in slots 1 and 3: the preview's own copies 1 and 3; the capture store's files
        // stay; every copy is removed when the window closes. An age that is no number prints as stored.
        const qint64 id = addReport(lines(2));
        QVERIFY(Database::ExecuteSql(
                    QStringLiteral("update reports set picture1=?, picture3=?, age=? where ctid=?"),
                    {kit::jpegBytes(160, 120, Qt::red), kit::jpegBytes(160, 120, Qt::blue), QStringLiteral("四十"), id})
                    .ok());
        for (const char* f : {"img/image1.jpg", "img/image3.jpg"})
            QVERIFY(kit::writeBytes(folder_->file(QString::fromLatin1(f)), "old"));
        open(id, [&](Frmreport& w) {
            const auto& pictures = w.content().pictures;
            QCOMPARE(pictures[0], ReportData::previewPictureFile(1));
            QCOMPARE(pictures[2], ReportData::previewPictureFile(3));
            QVERIFY(pictures[1].isEmpty() && pictures[3].isEmpty());
            QCOMPARE(w.content().values[3], QStringLiteral("四十岁"));
            QCOMPARE(MessageBox::shownBoxes().size(), 0);
        });
        for (int k = 1; k <= 4; ++k)
            QVERIFY(!QFile::exists(ReportData::previewPictureFile(k)));
        QVERIFY(QFile::exists(folder_->file(QStringLiteral("img/image1.jpg")))
                && QFile::exists(folder_->file(QStringLiteral("img/image3.jpg"))));

        // A damaged picture: the window says so when it shows the report and again when it prints
        // it, and prints the rest.
        QVERIFY(
            Database::ExecuteSql(QStringLiteral("update reports set picture3=X'ffd8ffe000112233' where ctid=?"), {id})
                .ok());
        MessageBox::clearShown();
        open(id, [&](Frmreport& w) {
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QVERIFY2(MessageBox::shownBoxes().first().text.startsWith(QStringLiteral("481:报告图片 3 ")),
                     qPrintable(MessageBox::shownBoxes().first().text));
            QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));
            leftPress(w.Cpagedown);   // showing another page says nothing new
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            w.CmdPrint_Click();
            QCOMPARE(MessageBox::shownBoxes().size(), 2);
            QCOMPARE(MessageBox::shownBoxes().last().text, MessageBox::shownBoxes().first().text);
            QVERIFY(QFile::exists(folder_->file(QStringLiteral("out.pdf"))));
        });
        QFile::remove(folder_->file(QStringLiteral("out.pdf")));

        // A report that is gone, an empty list, a key that is no number, an unknown caller:
        // the message, an empty pane, nothing that acts on the missing report.
        const std::pair<qint64, QString> failing[] = {{id + 100, QStringLiteral("frmmain")},
                                                      {0, QStringLiteral("frmmain")},
                                                      {-2, QStringLiteral("frmmain")},
                                                      {id, QStringLiteral("frmMain")}};
        for (const auto& [key, status] : failing) {
            MessageBox::clearShown();
            open(
                key,
                [&](Frmreport& w) {
                    QCOMPARE(MessageBox::shownBoxes().size(), 1);
                    QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("没有符合条件的数据返回"));
                    QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));
                    for (QWidget* b : std::initializer_list<QWidget*>{w.CmdPrint, w.Cpageup, w.Cpagedown, w.Cmdup,
                                                                      w.Cmddown, w.Combosf})
                        QVERIFY(!b->isEnabled());
                    QVERIFY(!w.PicpaperFrame->isVisible() && !w.VScroll1->isVisible());
                    QCOMPARE(w.Labelpagecount->text(), QStringLiteral("共   页"));
                    w.CmdPrint_Click();
                    w.Cmdup_Click();
                    leftPress(w.Cpagedown);
                    wheel(w.Picprview, -120);
                    QVERIFY(!QFile::exists(folder_->file(QStringLiteral("out.pdf"))));
                    QCOMPARE(MessageBox::shownBoxes().size(), 1);
                },
                status);
        }
        // Afterwards a good report shows again.
        MessageBox::clearShown();
        open(id, [&](Frmreport& w) { QVERIFY(w.CmdPrint->isEnabled() && w.PicpaperFrame->isVisible()); });
    }

    void storedMarginWithoutRoom_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("top 300 mm") << "bTop"
                                    << "300"
                                    << "上边距";
        QTest::newRow("top 1e308") << "bTop"
                                   << "1e308"
                                   << "上边距";
        QTest::newRow("bottom 280 mm") << "bBotton"
                                       << "280"
                                       << "下边距";
        QTest::newRow("left 195 mm") << "bLeft"
                                     << "195"
                                     << "左边距";
        QTest::newRow("top -50 mm") << "bTop"
                                    << "-50"
                                    << "上边距";
        QTest::newRow("top -1e308") << "bTop"
                                    << "-1e308"
                                    << "上边距";
        QTest::newRow("picture height 300 mm") << "PicHeight"
                                               << "300"
                                               << "图像高度";
        QTest::newRow("line spacing two 300 mm") << "hjj2"
                                                 << "300"
                                                 << "行距二";
    }
    void storedMarginWithoutRoom()
    {
        // An options.ini edited by hand: the preview says which length and how large (or how
        // small) it may be, lays out no run of empty pages, and 打印报告 sends nothing.
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, field);
        kit::setIni("parameter", qPrintable(key), value);
        const QString out = folder_->file(QStringLiteral("out.pdf"));
        const qint64 report = addReport(lines(threePageLines()));
        MessageBox::clearShown();
        open(report, [&](Frmreport& w) {
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            const QString told = kit::lastText();
            QVERIFY2(told.startsWith(QStringLiteral("380:")) && told.contains(field)
                         && told.contains(QRegularExpression(QStringLiteral("(最大为 \\d+(\\.\\d)?|最小为 0) 毫米"))),
                     qPrintable(told));
            QCOMPARE(kit::lastTitle(), QStringLiteral("错误"));
            QVERIFY(w.pageCount() <= 1);
            MessageBox::clearShown();
            w.CmdPrint->click();
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(kit::lastText(), told);
            QVERIFY(!QFile::exists(out) && backend_->submitted() == 0);
        });
    }

private:
    // Exactly one box was shown, under 错误, with the error number, the printer's name (when
    // one is known) and the text what; cleared afterwards.
    bool failedOnce(const QString& what, const QString& printer = QStringLiteral("报告打印机"))
    {
        const auto shown = MessageBox::shownBoxes();
        lastFailure_ = shown.isEmpty() ? QString() : shown.last().text;
        const bool ok = shown.size() == 1 && shown[0].title == QStringLiteral("错误")
                        && lastFailure_.startsWith(QStringLiteral("482:"))
                        && (printer.isEmpty() || lastFailure_.contains(QStringLiteral("“%1”").arg(printer)))
                        && lastFailure_.contains(what);
        if (!ok)
            qWarning("%d shown, the last: %s", int(shown.size()), qPrintable(lastFailure_));
        MessageBox::clearShown();
        return ok;
    }

    // A job's state as the queue gives it: ipp, the IPP job-state, where it matters.
    static PrintQueue::JobStatus job(PrintQueue::JobStatus::State state, const QString& reason = QString(),
                                     const QStringList& reasons = {}, int ipp = 0)
    {
        PrintQueue::JobStatus s;
        s.state = state;
        s.reason = reason;
        s.reasons = reasons;
        s.ippState = ipp;
        return s;
    }

    static bool writeFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
    }

    // Makes a file look an hour old.
    static bool age(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadWrite)
               && file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    }

    // Opens the preview on report key (0: an empty list, -2: a key that is no number),
    // runs check while it is shown, then closes it.
    void open(qint64 key, const std::function<void(Frmreport&)>& check,
              const QString& status = QStringLiteral("frmmain"))
    {
        ListGrid::SetEmptyState(grid_.get());
        if (key != 0) {
            const int r = ListGrid::NewRow(grid_.get(), ListGrid::kSelButtonShadow);
            ListGrid::SetCell(grid_.get(), r, ReportList::kKeyColumn,
                              key == -2 ? QStringLiteral("1 or 1=1") : QString::number(key));
            ListGrid::SelectRow(grid_.get(), r);
        }
        Frmreport& w = Frmreport::instance();
        Opener::setHook([&](QDialog* d) {
            if (d != &w)
                return dialogHook_ ? dialogHook_(d) : 0;
            w.show();
            if (!QTest::qWaitForWindowExposed(&w))
                qWarning("preview not exposed");
            check(w);
            w.hide();
            return 0;
        });
        // The two callers open it through the opener table; another text,
        // which no opener can pass, is set on the window itself.
        if (status == Openers::name(Openers::How::FromMain)) {
            Openers::OpenPreview(Openers::How::FromMain, ReportList::CurrentOf(grid_.get()).key);
        } else if (status == Openers::name(Openers::How::FromEditor)) {
            Openers::OpenPreview(Openers::How::FromEditor, ReportList::CurrentOf(grid_.get()).key);
        } else {
            w.setOpenStatus(status);
            w.showModally();
        }
        Opener::setHook([](QDialog*) { return 0; });
        dialogHook_ = nullptr;
    }

    qint64 addReport(const QString& findings)
    {
        const QueryResult r = Database::ExecuteSql(
            QStringLiteral("insert into reports (obligate5, brname, sex, age, ageunit, rpdate, pgdate, times, "
                           "checksymptom, checkconclusion, rpdr) values (?,?,?,?,?,?,?,?,?,?,?)"),
            {QStringLiteral("X2025-0001"), QStringLiteral("王五"), QStringLiteral("男"), 45, QStringLiteral("岁"),
             QStringLiteral("2025-03-04"), QStringLiteral("2025-03-04"), 30, findings, QStringLiteral("未见明显异常。"),
             QStringLiteral("李医生")});
        return r.ok() ? Database::LastInsertId() : -1;
    }

    // The number of findings lines that fill three pages with the shipped layout.
    int threePageLines()
    {
        static int n = 0;
        if (n)
            return n;
        QStringList captions;
        ReportData::loadItemCaptions(captions);
        PrintSettings s;
        s.load(captions);
        ReportContent c;
        ReportPaperWidget paper;
        ReportRenderer r(s, c);
        r.setPreviewWidget(&paper);
        for (n = 10; n < 400; n += 5) {
            c.values[18] = lines(n);
            r.RenderReport(ReportRenderer::Mode::Preview, 0, 0);
            if (s.pageCount == 3)
                break;
        }
        return n;
    }

    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    std::unique_ptr<QTableView> grid_;
    std::function<int(QDialog*)> dialogHook_;   // the dialogs the preview opens
    QString lastFailure_;                       // the text failedOnce saw last
};

QTEST_MAIN(tst_Frmreport)
#include "tst_Frmreport.moc"
