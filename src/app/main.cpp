#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "core/text.h"
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

// While the window system starts and the window opens, Qt's complaints about
// a display it cannot reach, a screen it does not find or a plugin that
// cannot start end in an abort: one line of our own instead, and status 1.
// What Qt says meanwhile is kept, and shown only once the window is open.
bool g_starting = true;
std::string g_startup_messages;
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (g_starting && type == QtFatalMsg) {
    // A platform asked for by name that cannot start is named.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string why = platform != nullptr && *platform != '\0'
                                ? "the window system " + kavrin::Excerpt(platform) + " (QT_QPA_PLATFORM) cannot start"
                                : std::string("it cannot be reached");
    std::fprintf(stderr, kNoDisplay, why.c_str());
    std::fflush(stderr);
    std::_Exit(1);
  }
  if (g_starting && context.category != nullptr && std::string(context.category).rfind("qt.qpa", 0) == 0) return;
  const std::string line = qFormatLogMessage(type, context, message).toStdString() + '\n';
  if (g_starting)
    g_startup_messages += line;
  else
    std::cerr << line;
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
  // A platform that starts without a screen (a frame buffer that is not
  // there) has nowhere to show the window.
  if (QGuiApplication::screens().isEmpty()) {
    std::fprintf(stderr, kNoDisplay, "the window system has no screen");
    return 1;
  }
  QApplication::setApplicationName(QStringLiteral("Kavrin"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRIN_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/kavrin.ico")));
  kavrin::MainWindow window;
  window.show();
  g_starting = false;
  std::cerr << g_startup_messages;
  return app.exec();
}
