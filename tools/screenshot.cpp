// Makes the README's screenshots, grabbed offscreen (pixel-identical to a
// real screen): the main window after a few calculations, with a second
// name the convergence study window after its default study, and with a
// third and fourth the comparison window at x1 = 1, N = 20, in the standard
// colours and under a dark scheme, and with a fifth the methods and
// stability window at x1 = 2.7, N = 10 with Kutta's 3/8 rule on show, and
// with a sixth the study window with the tolerance sweep beside the fixed
// runs, against evaluations, at x1 = 1.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <cstdio>

#include "ui/comparison_window.h"
#include "ui/main_window.h"
#include "ui/methods_window.h"
#include "ui/study_window.h"

namespace {

// The study window with the sweep: the seven fixed at 10..2560 steps and
// the three pairs at one tolerance per decade, against evaluations.
bool SweepWindow(kavrin::MainWindow& window, const char* path) {
  kavrin::StudyWindow* study = window.OpenStudy();
  study->resize(1100, 760);
  study->findChild<QLineEdit*>("StudyX1")->setText("1");
  study->findChild<QLineEdit*>("StudySteps")->setText("10..2560");
  auto* against = study->findChild<QComboBox*>("StudyAgainst");
  against->setCurrentIndex(against->findData(QStringLiteral("evaluations")));
  study->findChild<QCheckBox*>("StudySweep")->setChecked(true);
  QEventLoop wait;
  QObject::connect(study, &kavrin::StudyWindow::Ended, &wait, &QEventLoop::quit);
  study->findChild<QPushButton*>("StudyRun")->click();
  wait.exec();
  QApplication::processEvents();
  if (study->grab().save(path)) return true;
  std::fprintf(stderr, "could not write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2 || argc > 7) {
    std::fprintf(stderr,
                 "usage: %s WINDOW.png [STUDY.png [COMPARE.png [COMPARE-DARK.png [METHODS.png [SWEEP.png]]]]]\n",
                 argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  kavrin::MainWindow window;
  window.set_error_reporter([](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
  window.show();

  struct Run {
    const char* option;
    const char* x1;
    const char* N;
  };
  const Run runs[] = {{"Option_Euler", "1", "10"}, {"Option_EulerMP", "1", "10"}, {"Option_RK4", "1", "10"},
                      {"Option_RKF", "1", "10"},   {"Option_RK4G", "1", "100"},   {"Option_RK4", "2", "200"}};
  for (const Run& run : runs) {
    window.findChild<QRadioButton*>(run.option)->setChecked(true);
    window.findChild<QLineEdit*>("Text_x1")->setText(run.x1);
    window.findChild<QLineEdit*>("Text_N")->setText(run.N);
    window.findChild<QPushButton*>("Command1")->click();
  }
  QApplication::processEvents();
  if (!window.grab().save(argv[1])) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  if (argc >= 3) {
    kavrin::StudyWindow* study = window.OpenStudy();
    study->findChild<QLineEdit*>("StudyX1")->setText("1");
    QEventLoop wait;
    QObject::connect(study, &kavrin::StudyWindow::Ended, &wait, &QEventLoop::quit);
    study->findChild<QPushButton*>("StudyRun")->click();
    wait.exec();
    QApplication::processEvents();
    if (!study->grab().save(argv[2])) {
      std::fprintf(stderr, "could not write %s\n", argv[2]);
      return 1;
    }
  }
  // The comparison window, then the same under a dark scheme.
  for (int i = 4; i <= argc && i <= 5; ++i) {
    if (i == 5) {
      QPalette dark;
      for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(40, 40, 40));
      for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(235, 235, 235));
      QApplication::setPalette(dark);
    }
    window.findChild<QLineEdit*>("Text_x1")->setText("1");
    window.findChild<QLineEdit*>("Text_N")->setText("20");
    kavrin::ComparisonWindow* compare = window.OpenComparison();
    QEventLoop wait;
    QObject::connect(compare, &kavrin::ComparisonWindow::Ended, &wait, &QEventLoop::quit);
    compare->findChild<QPushButton*>("CompareRun")->click();
    wait.exec();
    QApplication::processEvents();
    if (!compare->grab().save(argv[i - 1])) {
      std::fprintf(stderr, "could not write %s\n", argv[i - 1]);
      return 1;
    }
  }
  if (argc >= 6) {
    QApplication::setPalette(QApplication::style()->standardPalette());
    window.findChild<QLineEdit*>("Text_x1")->setText("2.7");
    window.findChild<QLineEdit*>("Text_N")->setText("10");
    kavrin::MethodsWindow* methods = window.OpenMethods();
    methods->resize(1000, 720);  // as on a 1366 x 768 desktop, whatever the offscreen screen's size
    auto* list = methods->findChild<QListWidget*>("MethodsList");
    for (int row = 0; row < list->count(); ++row)
      if (list->item(row)->text() == "Kutta's 3/8 rule") list->setCurrentRow(row);
    QEventLoop wait;
    QObject::connect(methods, &kavrin::MethodsWindow::Ended, &wait, &QEventLoop::quit);
    methods->findChild<QPushButton*>("MethodsRun")->click();
    wait.exec();
    QApplication::processEvents();
    if (!methods->grab().save(argv[5])) {
      std::fprintf(stderr, "could not write %s\n", argv[5]);
      return 1;
    }
  }
  if (argc == 7 && !SweepWindow(window, argv[6])) return 1;
  return 0;
}
