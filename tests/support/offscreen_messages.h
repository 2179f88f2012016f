#pragma once

#include <QString>
#include <QtGlobal>

// The offscreen platform warns about two window features it lacks. Filters
// exactly those two and passes every other message to the test framework's
// handler; call from initTestCase, once the framework's handler is in place.
inline QtMessageHandler& TestFrameworkHandler() {
  static QtMessageHandler handler = nullptr;
  return handler;
}

inline void FilterOffscreenWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message == QLatin1String("This plugin does not support propagateSizeHints()") ||
      message == QLatin1String("This plugin does not support raise()"))
    return;
  TestFrameworkHandler()(type, context, message);
}

inline void InstallOffscreenFilter() { TestFrameworkHandler() = qInstallMessageHandler(FilterOffscreenWarnings); }
