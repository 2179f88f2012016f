#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/output_file.h"
#include "ui/main_window.h"

namespace {

// Qt sees only the program's name: every argument belongs to the command
// line, so Qt's own options (-platform, -style) are never interpreted.
int g_qt_argc = 1;
char* g_qt_argv[2] = {nullptr, nullptr};

// The offscreen platform's notes about a session it does not have mean
// nothing to a command-line user; every other message passes.
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
  std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << '\n';
}

constexpr char kNoDisplay[] =
    "kavrin: the window needs a display, and %s; 'kavrin --help' lists the command line, which needs none.\n";

// While the window system starts, Qt's complaints about a display it cannot
// reach end in an abort: one line of our own instead, and status 1.
bool g_starting = true;
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (g_starting && type == QtFatalMsg) {
    std::fprintf(stderr, kNoDisplay, "it cannot be reached");
    std::fflush(stderr);
    std::_Exit(1);
  }
  if (g_starting && context.category != nullptr && std::string(context.category).rfind("qt.qpa", 0) == 0) return;
  std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << '\n';
}

// Whether a window system is named at all (X11 or Wayland), where one is needed.
bool DisplayNamed() {
#if defined(_WIN32) || defined(__APPLE__)
  return true;
#else
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
#endif
}

}  // namespace

// With no arguments, the window; with any, the command line, which needs no
// window system: charts are painted offscreen.
int main(int argc, char* argv[]) {
  g_qt_argv[0] = argv[0];
  if (argc > 1) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kavrin::ReportOversizedWrites();
    kavrin::DescriptorBuffer buffer(1);
    std::ostream out(&buffer);
    std::unique_ptr<QGuiApplication> app;
    if (kavrin::DrawsChart(arguments)) {
      qInstallMessageHandler(QuietOffscreen);
      qputenv("QT_QPA_PLATFORM", "offscreen");
      app = std::make_unique<QGuiApplication>(g_qt_argc, g_qt_argv);
    }
    return kavrin::RunCommandLine(arguments, out, std::cerr);
  }
  if (!DisplayNamed()) {
    std::fprintf(stderr, kNoDisplay, "none is set (DISPLAY and WAYLAND_DISPLAY are empty)");
    return 1;
  }
  qInstallMessageHandler(StartupMessages);
  QApplication app(g_qt_argc, g_qt_argv);
  g_starting = false;
  QApplication::setApplicationName(QStringLiteral("Kavrin"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRIN_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kavrin.ico")));
  kavrin::MainWindow window;
  window.show();
  return app.exec();
}
