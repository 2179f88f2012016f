// The window compares: its results saved and copied, and the convergence
// study in a window of its own, through the real windows, offscreen.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <sstream>

#include "cli/command_line.h"
#include "offscreen_messages.h"
#include "ui/comparison_window.h"
#include "ui/main_window.h"
#include "ui/methods_window.h"
#include "ui/saving.h"
#include "ui/study_window.h"
#include "ui/system_dialog.h"

using namespace kavrin;

class ResultsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  MainWindow* window = nullptr;
  QStringList reports;
  QString chosen;  // what the file chooser answers

  template <typename W>
  static W* Get(QWidget* parent, const char* name) {
    auto* widget = parent->findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no widget %s", name);
    return widget;
  }
  void Press(const char* option, const QString& x1, const QString& N) {
    Get<QRadioButton>(window, option)->setChecked(true);
    Get<QLineEdit>(window, "Text_x1")->setText(x1);
    Get<QLineEdit>(window, "Text_N")->setText(N);
    Get<QPushButton>(window, "Command1")->click();
  }
  void Trigger(const char* action) { window->findChild<QAction*>(QString::fromLatin1(action))->trigger(); }
  StudyWindow* Study(const QString& steps, const QStringList& methods) {
    StudyWindow* study = window->OpenStudy();
    study->set_error_reporter([this](const QString& message) { reports << message; });
    study->set_file_chooser([this](const QString&, const QString&, const QString&) { return chosen; });
    Get<QLineEdit>(study, "StudySteps")->setText(steps);
    for (QCheckBox* box : study->findChildren<QCheckBox*>())
      if (box->objectName().startsWith("StudyMethod_")) box->setChecked(methods.contains(box->objectName().mid(12)));
    return study;
  }

 private slots:
  void initTestCase() { InstallOffscreenFilter(); }
  void init() {
    reports.clear();
    window = new MainWindow;
    window->set_error_reporter([this](const QString& message) { reports << message; });
    window->set_warning_reporter([this](const QString& message) { reports << "warning: " + message; });
    window->set_file_chooser([this](const QString&, const QString&, const QString&) { return chosen; });
    window->show();
  }
  void cleanup() {
    window->close();
    delete window;
  }

  void resultsAreSavedCopiedAndTellWhereTheyCameFrom() {
    Press("Option_RK4", "2", "2 00");
    Press("Option_Euler", "1", "0");  // fails: nothing added
    Press("Option_RKF", "-0.5", "1D1");
    QCOMPARE(reports.size(), 1);
    chosen = dir.filePath("results.csv");
    Trigger("Mn_SaveCsv");
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), 4);  // header, two rows, the empty text after the last line break
    QCOMPARE(rows[0], QByteArray("x1_text,N_text,x1,N,h,method,x,y1,y2,system\r"));
    QVERIFY(rows[1].endsWith(",built-in\r"));

    QVERIFY(rows[1].startsWith("2,2 00,2,200,0.01,Runge-Kutta-4 Method,"));
    QVERIFY(rows[2].startsWith("-0.5,1D1,-0.5,10,-0.05,Runge-Kutta-Fehlberg Method,"));
    // The values are the result line's, in full.
    const QList<QByteArray> cells = rows[1].trimmed().split(',');
    QCOMPARE(QString::number(cells[7].toDouble(), 'f', 8), QStringLiteral("2.70648291"));
    QCOMPARE(QString::number(cells[8].toDouble(), 'f', 8), QStringLiteral("1.22995147"));
    // A tooltip on each result line.
    auto* list = Get<QListWidget>(window, "List1");
    QCOMPARE(list->item(0)->toolTip(), QStringLiteral("N = 2 00, h = 0.01, Runge-Kutta-4 Method"));
    // Copy: the selected lines, or all of them.
    list->item(2)->setSelected(true);
    Trigger("Mn_Copy");
    QCOMPARE(QGuiApplication::clipboard()->text(), list->item(2)->text() + "\n");
    list->clearSelection();
    Trigger("Mn_Copy");
    QCOMPARE(QGuiApplication::clipboard()->text().split('\n').size(), 5);
    // Ctrl+C in a text box copies the box's selection, not the results.
    auto* box = Get<QLineEdit>(window, "Text_x1");
    box->setFocus();
    box->setSelection(2, 2);  // of "-0.5"
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral(".5"));
  }

  void savingToAnUnwritablePlaceChangesNothing() {
    Press("Option_RK4", "2", "200");
    const QImage before = Get<QWidget>(window, "Picture1")->grab().toImage();
    chosen = dir.filePath("no/such/folder/picture.png");
    Trigger("Mn_SavePicture");
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("cannot write " + chosen + ": No such file or directory"), qPrintable(reports[0]));
    QVERIFY(!QFile::exists(chosen));
    QCOMPARE(Get<QListWidget>(window, "List1")->count(), 2);
    QCOMPARE(Get<QWidget>(window, "Picture1")->grab().toImage(), before);
    // The picture as SVG: a small file even for many steps.
    Press("Option_RK4", "1", "1e6");
    chosen = dir.filePath("picture.svg");
    Trigger("Mn_SavePicture");
    QCOMPARE(reports.size(), 1);
    QVERIFY(QFile(chosen).size() > 1000 && QFile(chosen).size() < 200'000);
    // A name without an ending takes the chosen type's; one with an unknown ending is refused.
    QCOMPARE(WithEnding(dir.filePath("a.b/noext"), "SVG drawing (*.svg)"), dir.filePath("a.b/noext.svg"));
    QCOMPARE(WithEnding(dir.filePath("p.png"), "SVG drawing (*.svg)"), dir.filePath("p.png"));
    chosen = dir.filePath("noext");
    Trigger("Mn_SavePicture");
    QCOMPARE(reports.size(), 2);
    QVERIFY2(reports[1].contains("PNG (.png) or SVG (.svg)"), qPrintable(reports[1]));
    QVERIFY(!QFile::exists(chosen));
  }

  // The study window's table holds the command line's numbers.
  void studyTableIsTheCommandLines() {
    StudyWindow* study = Study("20,40,80", {"euler", "rk4", "rkf"});
    // With a sweep of Fehlberg's pair alone, its table follows the fixed one's.
    Get<QCheckBox>(study, "StudySweep")->setChecked(true);
    Get<QLineEdit>(study, "StudyTolerances")->setText("1e-4..1e-6");
    for (const char* pair : {"StudyPair_rkm", "StudyPair_dopri54"}) Get<QCheckBox>(study, pair)->setChecked(false);
    QSignalSpy ended(study, &StudyWindow::Ended);
    Get<QPushButton>(study, "StudyRun")->click();
    QVERIFY(ended.wait(30000));
    std::ostringstream out, err;
    QCOMPARE(RunCommandLine({"--compare", "--x1", "0.1", "--steps", "20,40,80", "--method", "euler,rk4,rkf",
                             "--tolerances", "1e-4..1e-6", "--format", "markdown"},
                            out, err),
             0);
    QStringList rows;
    for (const QString& line : QString::fromStdString(out.str()).split('\n'))
      if (line.startsWith("| ") && !line.startsWith("| method")) rows << line;
    QCOMPARE(rows.size(), 9 + 3);
    int r = 0;
    for (const char* name : {"StudyTable", "StudySweepTable"}) {
      auto* table = Get<QTableWidget>(study, name);
      for (int t = 0; t < table->rowCount(); ++t, ++r) {
        QString row = "|";
        for (int c = 0; c < table->columnCount(); ++c) row += " " + table->item(t, c)->text() + " |";
        QCOMPARE(row, rows[r]);
      }
    }
    QCOMPARE(r, rows.size());
    chosen = dir.filePath("study.svg");
    Get<QPushButton>(study, "StudySaveChart")->click();
    QVERIFY(QFile(chosen).size() > 1000);
    study->close();
  }

  // An own system: a wrong text is reported in the dialog, which stays; an
  // example chosen there is what the window integrates, shows and saves,
  // and what a study window studies; "Built-in system" goes back.
  void ownSystemInTheWindow() {
    window->findChild<QAction*>("Mn_System")->trigger();
    auto* dialog = window->findChild<SystemDialog*>("SystemDialog");
    QVERIFY(dialog != nullptr && dialog->isVisible());
    Get<QLineEdit>(dialog, "System_f1")->setText("y2 + z");
    dialog->accept();
    QVERIFY(dialog->isVisible());
    QCOMPARE(Get<QLabel>(dialog, "System_report")->text(), QStringLiteral("f1: unknown name 'z' at column 6"));
    auto* examples = Get<QComboBox>(dialog, "System_examples");
    examples->setCurrentIndex(2);  // after "Choose an example...": the harmonic oscillator
    emit examples->activated(2);
    dialog->accept();
    QTRY_VERIFY(window->findChild<SystemDialog*>("SystemDialog") == nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Kavrin - y1' = y2, y2' = -y1"));
    QCOMPARE(Get<QLineEdit>(window, "Text_y20")->text(), QStringLiteral("0"));
    Press("Option_RK4", "1", "10");
    std::ostringstream out, err;
    QCOMPARE(RunCommandLine({"--f1", "y2", "--f2", "-y1", "--x0", "0", "--y10", "1", "--y20", "0", "--x1", "1",
                             "--steps", "10", "--method", "rk4"},
                            out, err),
             0);
    QCOMPARE(Get<QListWidget>(window, "List1")->item(0)->text() + "\n",
             QString::fromStdString(out.str()).section('\n', 1));
    chosen = dir.filePath("own.csv");
    Trigger("Mn_SaveCsv");
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(",y1' = y2; y2' = -y1; x0 = 0; y1(0) = 1; y2(0) = 0\r\n"));
    StudyWindow* study = window->OpenStudy();
    QVERIFY(study->windowTitle().endsWith(QStringLiteral("y1' = y2, y2' = -y1")));
    study->close();
    window->findChild<QAction*>("Mn_System")->trigger();
    Get<QPushButton>(window->findChild<SystemDialog*>("SystemDialog"), "System_builtin")->click();
    QTRY_COMPARE(window->windowTitle(),
                 QStringLiteral("Kavrin - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations"));
    QCOMPARE(Get<QLineEdit>(window, "Text_y20")->text(), QStringLiteral("-1"));
    QVERIFY(reports.isEmpty());
  }

  // The study window fits the screen's free area, its table too, and keeps
  // its size however many runs fail; after a study in which every run failed
  // it is ready for the next, and the report sums up all the failures. Run
  // again on a 1024 x 768 screen.
  void studyWindowFitsTheScreenAndOutlastsFailures() {
    StudyWindow* study = Study("10..640", {"euler-ep", "euler-mp", "rk4", "rkf", "rkm", "rk4g"});
    Get<QLineEdit>(study, "StudyX1")->setText("10");
    study->show();
    QVERIFY(QTest::qWaitForWindowExposed(study));
    QVERIFY(study->screen()->availableGeometry().contains(study->frameGeometry()));
    auto* table = Get<QTableWidget>(study, "StudyTable");
    QVERIFY(table->height() >= 4 * table->fontMetrics().height());
    QVERIFY(study->rect().contains(QRect(table->mapTo(study, QPoint(0, 0)), table->size())));
    const QSize size = study->size();
    QSignalSpy ended(study, &StudyWindow::Ended);
    Get<QPushButton>(study, "StudyRun")->click();
    QVERIFY(ended.wait(30000));
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("42 of 42 runs failed: 42 overflows."), qPrintable(reports[0]));
    QTest::qWait(50);
    QCOMPARE(study->size(), size);
    QVERIFY(Get<QPushButton>(study, "StudyRun")->isEnabled());
    QVERIFY(!Get<QPushButton>(study, "StudyCancel")->isEnabled());
    QCOMPARE(Get<QProgressBar>(study, "StudyProgress")->value(), -1);
    // A second study window is numbered, and placed apart from the first.
    StudyWindow* second = window->OpenStudy();
    QVERIFY(second->windowTitle().endsWith(" (2)"));
    QVERIFY(second->pos() != study->pos());
    second->show();
    QVERIFY(second->screen()->availableGeometry().contains(second->frameGeometry()));
    second->close();
    study->close();
  }

  // Cancel stops a run of 2^28 steps promptly and leaves the window usable;

  // closing a window whose study runs waits for its thread.
  // The comparison window's rows are the command line's, byte for byte; its
  // charts save; a run cancelled leaves nothing and reports nothing.
  void comparisonIsTheCommandLines() {
    Get<QLineEdit>(window, "Text_x1")->setText("1");
    Get<QLineEdit>(window, "Text_N")->setText("30");
    Trigger("Mn_Compare");
    ComparisonWindow* compare = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* c = qobject_cast<ComparisonWindow*>(w)) compare = c;
    QVERIFY(compare != nullptr);
    compare->set_error_reporter([this](const QString& message) { reports << message; });
    compare->set_file_chooser([this](const QString&, const QString&, const QString&) { return chosen; });
    Get<QCheckBox>(compare, "CompareMethod_rkm")->setChecked(false);
    Get<QLineEdit>(compare, "CompareInvariant")->setText("y1*y2");
    QSignalSpy ended(compare, &ComparisonWindow::Ended);
    Get<QPushButton>(compare, "CompareRun")->click();
    QVERIFY(ended.wait(30000));
    QVERIFY(compare->comparison() != nullptr);
    // Fehlberg's pair, the one chosen, also chose its steps at the window's tolerance.
    QCOMPARE(compare->comparison()->adaptive.size(), std::size_t{1});
    QCOMPARE(compare->comparison()->adaptive.front().march.accepted.back().x, 1.0);
    chosen = dir.filePath("rows.csv");
    Get<QPushButton>(compare, "CompareSaveRows")->click();
    QFile rows(chosen);
    QVERIFY(rows.open(QIODevice::ReadOnly));
    std::ostringstream out, err;
    QCOMPARE(RunCommandLine({"--along", "-", "--x1", "1", "--steps", "30", "--method",
                             "euler,euler-ep,euler-mp,rk4,rkf,rk4g", "--invariant", "y1*y2"},
                            out, err),
             0);
    QCOMPARE(rows.readAll().toStdString(), out.str());
    chosen = dir.filePath("phase.png");
    Get<QPushButton>(compare, "CompareSaveChart")->click();
    QVERIFY(QFile(chosen).size() > 1000);

    Get<QLineEdit>(compare, "CompareSteps")->setText("2000000");
    Get<QPushButton>(compare, "CompareRun")->click();
    QVERIFY(compare->running());
    Get<QPushButton>(compare, "CompareCancel")->click();
    QVERIFY(ended.wait(60000));
    QCOMPARE(compare->comparison()->N, 30.0);  // the cancelled run left the last one on show
    QVERIFY(reports.isEmpty());
    compare->close();
  }

  // A tableau typed in the window is the one in a file: the same analysis as
  // --check-tableau, and, added as a method, the same stability report as
  // --stability --tableau; the study window opened afterwards lists it.
  void tableauTypedInTheWindowIsTheFilesOne() {
    Get<QLineEdit>(window, "Text_x1")->setText("2.7");
    Get<QLineEdit>(window, "Text_N")->setText("10");
    Trigger("Mn_Methods");
    MethodsWindow* methods = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<MethodsWindow*>(w)) methods = m;
    QVERIFY(methods != nullptr);
    methods->set_error_reporter([this](const QString& message) { reports << message; });
    const char* text = "# Mine\n0|\n2/3|2/3\n---\n|1/4 3/4\n";
    Get<QPlainTextEdit>(methods, "TableauEdit")->setPlainText(QString::fromUtf8(text));
    Get<QPushButton>(methods, "TableauCheck")->click();
    const QString file = dir.filePath("mine.tableau");
    QFile out_file(file);
    QVERIFY(out_file.open(QIODevice::WriteOnly));
    out_file.write(text);
    out_file.close();
    std::ostringstream check, err;
    QCOMPARE(RunCommandLine({"--check-tableau", file.toStdString()}, check, err), 0);
    QCOMPARE(Get<QPlainTextEdit>(methods, "TableauAnalysis")->toPlainText().toStdString() + "\n", check.str());

    Get<QLineEdit>(methods, "TableauId")->setText("mine");
    Get<QPushButton>(methods, "TableauAdd")->click();
    auto* list = Get<QListWidget>(methods, "MethodsList");
    for (int row = 0; row < list->count(); ++row)
      list->item(row)->setCheckState(row == 3 || list->item(row)->text() == "Mine" ? Qt::Checked : Qt::Unchecked);
    QSignalSpy ended(methods, &MethodsWindow::Ended);
    Get<QPushButton>(methods, "MethodsRun")->click();
    QVERIFY(ended.wait(30000));
    QVERIFY(methods->study() != nullptr);
    std::ostringstream report;
    QCOMPARE(RunCommandLine({"--stability", "--tableau", file.toStdString(), "--x1", "2.7", "--steps", "10", "--method",
                             "rk4,mine"},
                            report, err),
             0);
    QCOMPARE(Get<QLabel>(methods, "StabilityReport")->text().toStdString(), report.str());
    QVERIFY(reports.isEmpty());
    methods->close();
    StudyWindow* study = window->OpenStudy();
    QVERIFY(study->findChild<QCheckBox*>("StudyMethod_mine") != nullptr);
    study->close();
  }

  void cancelAndCloseDuringARun() {
    StudyWindow* study = Study("268435456", {"rk4"});
    study->show();
    QVERIFY(QTest::qWaitForWindowExposed(study));
    auto* cancel = Get<QPushButton>(study, "StudyCancel");
    const QRect place = cancel->geometry();
    QSignalSpy ended(study, &StudyWindow::Ended);
    Get<QPushButton>(study, "StudyRun")->click();
    QVERIFY(study->running());
    QTest::qWait(50);  // the layout settles with the progress bar shown
    QCOMPARE(cancel->geometry(), place);
    cancel->click();
    QVERIFY(ended.wait(60000));
    QVERIFY(!study->running());
    QVERIFY(study->study() == nullptr);  // nothing from the cancelled run
    Get<QLineEdit>(study, "StudySteps")->setText("10,20");
    Get<QPushButton>(study, "StudyRun")->click();
    QVERIFY(ended.wait(30000));
    QCOMPARE(Get<QTableWidget>(study, "StudyTable")->rowCount(), 2);

    StudyWindow* second = Study("268435456", {"rk4"});
    QPointer<StudyWindow> alive(second);
    Get<QPushButton>(second, "StudyRun")->click();
    QVERIFY(second->running());
    second->close();  // cancels and waits; the window then goes
    QTRY_VERIFY(alive.isNull());
    QVERIFY(reports.isEmpty());
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ResultsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "results_test.moc"
