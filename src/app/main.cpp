#include <QApplication>
#include <QIcon>
#include <iostream>
#include <memory>

#include "cli/command_line.h"
#include "ui/form1.h"

namespace {

// The offscreen platform's notes about a session it does not have mean
// nothing to a command-line user; every other message passes.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
  std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << '\n';
}

}  // namespace

// With no arguments, the window; with any, the command line, which needs no
// window system: charts are painted offscreen.
int main(int argc, char* argv[]) {
  if (argc > 1) {
    qInstallMessageHandler(QuietOffscreen);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    if (kavrin::DrawsChart(arguments)) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
      app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return kavrin::RunCommandLine(arguments, std::cout, std::cerr);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kavrin"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRIN_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kavrin.ico")));
  kavrin::Form1 form;
  form.show();
  return app.exec();
}
