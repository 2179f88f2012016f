#include "ui/saving.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

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
  QString type;
  const QString path = QFileDialog::getSaveFileName(parent, title, name, filter, &type);
  return path.isEmpty() ? path : WithEnding(path, type);
}

QString WithEnding(const QString& path, const QString& type) {
  if (QFileInfo(path).fileName().contains(QLatin1Char('.'))) return path;
  static const QRegularExpression ending(QStringLiteral("\\*(\\.[A-Za-z0-9]+)"));
  const QRegularExpressionMatch match = ending.match(type);
  return match.hasMatch() ? path + match.captured(1) : path;
}

std::optional<Failure> SaveBytes(const QString& path, std::string_view bytes) {
  // The file's name as the system spells it.
  return WriteFile(QFile::encodeName(path).toStdString(), bytes);
}

PictureType PictureTypeOf(const QString& path) {
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) return PictureType::Svg;
  if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) return PictureType::Png;
  return PictureType::None;
}

QString UnknownPictureType(const QString& path) {
  return QStringLiteral(
             "cannot write %1: a picture is saved as PNG (.png) or SVG (.svg); give the name one of "
             "those endings.")
      .arg(path);
}

QString Report(const Failure& failure) { return QString::fromStdString(Describe(failure)); }

void ShowFailure(QWidget* parent, const QString& message) {
  QMessageBox::critical(parent, QStringLiteral("Kavrin"), Unbroken(message));
}

void ShowWarning(QWidget* parent, const QString& message) {
  QMessageBox::warning(parent, QStringLiteral("Kavrin"), Unbroken(message));
}

}  // namespace kavrin
