#include "ui/saving.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/output_file.h"

namespace kavrin {

QString AskForFile(QWidget* parent, const QString& title, const QString& filter, const QString& name) {
  return QFileDialog::getSaveFileName(parent, title, name, filter);
}

QString SaveBytes(const QString& path, std::string_view bytes) {
  // The file's name as the system spells it.
  const std::string name = QFile::encodeName(path).toStdString();
  return QString::fromStdString(WriteOutput(name, [bytes](const OutputSink& sink) { return sink(bytes); }));
}

void ShowFailure(QWidget* parent, const QString& message) {
  // "N = -1" stays on one line: the box wraps between words only.
  QString text = message;
  text.replace(QStringLiteral(" = "), QStringLiteral("\u00a0=\u00a0"));
  QMessageBox::critical(parent, QStringLiteral("Kavrin"), text);
}

}  // namespace kavrin
