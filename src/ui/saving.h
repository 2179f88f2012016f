#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "core/failure.h"

class QWidget;

namespace kavrin {

// Asks where to save with the platform's dialog: a title, the file types
// ("PNG image (*.png);;SVG drawing (*.svg)") and a suggested name; an empty
// text when the user cancels. A name without an ending gets the ending of
// the type chosen.
QString AskForFile(QWidget* parent, const QString& title, const QString& filter, const QString& name);

// The path with the ending of a file type ("SVG drawing (*.svg)") when its
// name has none.
QString WithEnding(const QString& path, const QString& type);

// Writes the bytes to the file through the checked writer, whole or not at
// all; the failure, if any, names the file ("cannot write x.csv: ...").
std::optional<Failure> SaveBytes(const QString& path, std::string_view bytes);

// A picture's type by the ending of its name: SVG or PNG, or none (and the
// report that says so).
enum class PictureType { Svg, Png, None };
PictureType PictureTypeOf(const QString& path);
QString UnknownPictureType(const QString& path);

// A failure as the windows word it.
QString Report(const Failure& failure);

// Shows a failure report, or a warning, in a message box over `parent`.
void ShowFailure(QWidget* parent, const QString& message);
void ShowWarning(QWidget* parent, const QString& message);

}  // namespace kavrin
