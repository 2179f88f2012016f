#pragma once

#include <QDialog>
#include <memory>

#include "core/session.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kavrin {

// Chooses the system the window's session integrates: two equations and
// their start, typed or taken from an example, or the built-in system. OK
// keeps the dialog open with the report of a wrong text ("f1: unknown name
// 'z' at column 7") until the session accepts them; then it closes.
class SystemDialog : public QDialog {
  Q_OBJECT

 public:
  SystemDialog(Session& session, QWidget* parent);

 public slots:
  void accept() override;
  void ChooseBuiltIn();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void ColourReport();
  void Fill(const SystemTexts& texts);

  QComboBox* m_examples = nullptr;
  QLineEdit* m_f1 = nullptr;
  QLineEdit* m_f2 = nullptr;
  QLineEdit* m_x0 = nullptr;
  QLineEdit* m_y10 = nullptr;
  QLineEdit* m_y20 = nullptr;
  QLabel* m_report = nullptr;
  Session& m_session;
};

}  // namespace kavrin
