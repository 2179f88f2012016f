// Makes the README's screenshots, grabbed offscreen (pixel-identical to a
// real screen): the main window after a few calculations, and with a second
// name, the convergence study window after its default study.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "ui/main_window.h"
#include "ui/study_window.h"

int main(int argc, char* argv[]) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s WINDOW.png [STUDY.png]\n", argv[0]);
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
  if (argc == 3) {
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
  return 0;
}
