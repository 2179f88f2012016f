#pragma once

#include <QWidget>

namespace kavrin {

// The About window: a short description, the author, the date of the last
// change and a contact address, on pale yellow. No owner, not modal. Its
// object name stays "Form_About", and its labels' names Label2 to Label8.
class AboutWindow : public QWidget {
  Q_OBJECT

 public:
  // `scale` is the main window's pixels per 15 twips; the About window uses
  // at least that, and more if its own texts need it.
  explicit AboutWindow(double scale = 1.0, QWidget* parent = nullptr);
};

}  // namespace kavrin
