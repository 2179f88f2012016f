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
// text when the user cancels.
QString AskForFile(QWidget* parent, const QString& title, const QString& filter, const QString& name);

// Writes the bytes to the file through the checked writer, whole or not at
// all; the failure, if any, names the file ("cannot write x.csv: ...").
std::optional<Failure> SaveBytes(const QString& path, std::string_view bytes);

// A failure as the windows word it.
QString Report(const Failure& failure);

// Shows a failure report, or a warning, in a message box over `parent`.
void ShowFailure(QWidget* parent, const QString& message);
void ShowWarning(QWidget* parent, const QString& message);

}  // namespace kavrin
