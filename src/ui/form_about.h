#pragma once

#include <QWidget>

namespace kavrin {

// The About window: a short description, the author, the date of the last
// change and a contact address, on pale yellow. No owner, not modal.
class Form_About : public QWidget {
  Q_OBJECT

 public:
  // `scale` is the main window's pixels per 15 twips; the About window uses
  // at least that, and more if its own texts need it.
  explicit Form_About(double scale = 1.0, QWidget* parent = nullptr);
};

}  // namespace kavrin
