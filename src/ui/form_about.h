#pragma once

#include <QWidget>

namespace kavrin {

// The About window: a short description, the author, the date of the last
// change and a contact address, on pale yellow. No owner, not modal.
class Form_About : public QWidget {
  Q_OBJECT

 public:
  explicit Form_About(QWidget* parent = nullptr);
};

}  // namespace kavrin
