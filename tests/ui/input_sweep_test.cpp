// Bad input through the main window: every press ends in a new result line
// or a report that names the failure, no earlier line is lost, and a normal
// press still works afterwards.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "offscreen_messages.h"
#include "ui/main_window.h"

using namespace kavrin;

namespace {

// Texts a user might type or paste into any of the five fields.
QStringList BadTexts() {
  return {"",
          "   ",
          "\t\n",
          "-",
          "+",
          ".",
          "-.",
          "nan",
          "inf",
          "-inf",
          "1e309",
          "-1e309",
          "1e-400",
          "1e",
          "1e+",
          "&H",
          "&HFFFFFFFF",
          "&H" + QString(400, 'F'),
          "&O" + QString(500, '7'),
          "&O17",
          QString(10000, '9'),
          "0." + QString(10000, '3'),
          "0,5",
          "1,5e3",
          QString::fromUtf8("\u0663"),        // Arabic-Indic digit three
          QString::fromUtf8("\uff11\uff10"),  // full-width one zero
          QString::fromUtf8("\u00e9\u00df\u4e2d"),
          QString::fromUtf8("1\u00a0000"),  // no-break space
          "1e99999999999999999999",
          "0x1p4",
          "1.7976931348623157e308",
          "-0"};
}

bool NamesAFailure(const QString& report) {
  for (const char* name : {"Division by zero: ", "Overflow: ", "Index out of range: ", "Out of memory: "})
    if (report.startsWith(QLatin1String(name))) return true;
  return false;
}

}  // namespace

class InputSweepTest : public QObject {
  Q_OBJECT

  MainWindow* form = nullptr;
  QStringList reports;
  QStringList warnings;  // values past the pole: a line, then a warning

  QLineEdit* Box(const char* name) { return form->findChild<QLineEdit*>(QLatin1String(name)); }
  QStringList Lines() {
    QStringList lines;
    auto* list = form->findChild<QListWidget*>(QStringLiteral("List1"));
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }
  void ResetInputs() {
    Box("Text_x0")->setText("0");
    Box("Text_y10")->setText("1");
    Box("Text_y20")->setText("-1");
    Box("Text_x1")->setText("0.1");
    Box("Text_N")->setText("1");
  }
  // One press with `text` in `field`; checks what it may and may not leave.
  void PressWith(const char* field, const QString& text) {
    ResetInputs();
    Box(field)->setText(text);
    const QStringList before = Lines();
    const int reports_before = reports.size();
    const int warnings_before = warnings.size();
    form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    const QStringList after = Lines();
    const QString what = QStringLiteral("%1 = \"%2\"").arg(QLatin1String(field), text.left(40));
    QVERIFY2(after.mid(0, before.size()) == before, qPrintable("an earlier line changed: " + what));
    const bool new_line = after.size() == before.size() + 2;
    const bool reported = reports.size() == reports_before + 1;
    QVERIFY2(new_line || after.size() == before.size(), qPrintable("lines added: " + what));
    QVERIFY2(new_line || reported, qPrintable("neither a line nor a report: " + what));
    QVERIFY2(reports.size() <= reports_before + 1, qPrintable("more than one report: " + what));
    if (reported) QVERIFY2(NamesAFailure(reports.last()), qPrintable(reports.last() + " for " + what));
    // A warning only ever follows a new line.
    QVERIFY2(warnings.size() == warnings_before || (new_line && warnings.size() == warnings_before + 1),
             qPrintable("a warning without a line: " + what));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

 private slots:
  void initTestCase() { InstallOffscreenFilter(); }

  void init() {
    reports.clear();
    // 512 MB for the tables: large step counts are refused before anything is allocated.
    form = new MainWindow([] { return std::uint64_t{576} << 20; });
    form->set_error_reporter([this](const QString& message) { reports << message; });
    form->set_warning_reporter([this](const QString& message) { warnings << message; });
    form->show();
  }
  void cleanup() {
    delete form;
    form = nullptr;
  }

  void everyFieldTakesEveryBadText() {
    for (const char* field : {"Text_x1", "Text_N", "Text_x0", "Text_y10", "Text_y20"}) {
      for (const QString& text : BadTexts()) {
        PressWith(field, text);
        if (QTest::currentTestFailed()) return;
      }
    }
    // After all of it, a normal press still works and adds the usual line.
    ResetInputs();
    const int lines = Lines().size();
    const int reports_before = reports.size();
    form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(reports.size(), reports_before);
    QCOMPARE(Lines().size(), lines + 2);
    QCOMPARE(Lines()[lines], QStringLiteral("0.1000    0.90000000       -0.90000000   Euler Method"));
  }

  void stepCountsEndInALineOrTheirFailure() {
    const struct {
      const char* N;
      const char* failure;  // empty when the press adds a line
    } cases[] = {{"0", "Division by zero"},
                 {"-1", "Index out of range"},
                 {"-1.5", "Index out of range"},
                 {"-1.6", "Index out of range"},
                 {"0.4", ""},
                 {"0.6", ""},
                 {"2.7", ""},
                 {"1e9", "Out of memory"},
                 {"3e9", "Overflow"},
                 {"1e12", "Overflow"}};
    for (const auto& c : cases) {
      const int reports_before = reports.size();
      PressWith("Text_N", QLatin1String(c.N));
      if (*c.failure == '\0') {
        QCOMPARE(reports.size(), reports_before);
      } else {
        QCOMPARE(reports.size(), reports_before + 1);
        QVERIFY2(reports.last().startsWith(QLatin1String(c.failure)), qPrintable(reports.last()));
      }
    }
    // 2.7 rounds up to 3 but takes two steps: its line shows the second step.
    QVERIFY(Lines().contains(QStringLiteral("0.0741    0.92999035       -0.92861860   Euler Method")));
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  InputSweepTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "input_sweep_test.moc"
