#include <QApplication>
#include <QIcon>

#include "ui/form1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kavrin"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRIN_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kavrin.ico")));
  kavrin::Form1 form;
  form.show();
  return app.exec();
}
