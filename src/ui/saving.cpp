#include "ui/saving.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "core/files.h"

namespace kavrin {
namespace {

// "N = -1" stays on one line: the box wraps between words only.
QString Unbroken(const QString& message) {
  QString text = message;
  text.replace(QStringLiteral(" = "), QStringLiteral("\u00a0=\u00a0"));
  return text;
}

}  // namespace

QString AskForFile(QWidget* parent, const QString& title, const QString& filter, const QString& name) {
  return QFileDialog::getSaveFileName(parent, title, name, filter);
}

std::optional<Failure> SaveBytes(const QString& path, std::string_view bytes) {
  // The file's name as the system spells it.
  return WriteFile(QFile::encodeName(path).toStdString(), bytes);
}

QString Report(const Failure& failure) { return QString::fromStdString(Describe(failure)); }

void ShowFailure(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QStringLiteral("Kavrin"), Unbroken(message));
}

void ShowWarning(QWidget* parent, const QString& message) {
  QMessageBox::warning(parent, QStringLiteral("Kavrin"), Unbroken(message));
}

}  // namespace kavrin
