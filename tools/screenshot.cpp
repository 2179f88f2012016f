// Makes the README's screenshot: the main window after a few calculations,
// grabbed offscreen (pixel-identical to a real screen).
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "ui/form1.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  kavrin::Form1 form;
  form.setErrorReporter([](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
  form.show();

  struct Run {
    const char* option;
    const char* x1;
    const char* N;
  };
  const Run runs[] = {{"Option_Euler", "1", "10"}, {"Option_EulerMP", "1", "10"}, {"Option_RK4", "1", "10"},
                      {"Option_RKF", "1", "10"},   {"Option_RK4G", "1", "100"},   {"Option_RK4", "2", "200"}};
  for (const Run& run : runs) {
    form.findChild<QRadioButton*>(run.option)->setChecked(true);
    form.findChild<QLineEdit*>("Text_x1")->setText(run.x1);
    form.findChild<QLineEdit*>("Text_N")->setText(run.N);
    form.findChild<QPushButton*>("Command1")->click();
  }
  QApplication::processEvents();
  if (!form.grab().save(argv[1])) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
