#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "core/calculation.h"
#include "ui/twip_layout.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kavrin {

class Form_About;
class PictureBox;

// The main window: the initial conditions, the target point and step count,
// the seven methods, "CALCULATE", the step size, the result list and the plot.
class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  // Shows a failure report; replaceable so that tests need no modal dialog.
  using ErrorReporter = std::function<void(const QString& message)>;

  explicit Form1(QWidget* parent = nullptr);
  // `available_memory` tells how much memory the machine can still provide
  // for the solution tables; the default asks the system.
  explicit Form1(Calculation::MemoryProbe available_memory, QWidget* parent = nullptr);
  ~Form1() override;

  void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }
  const Calculation& calculation() const { return m_calculation; }
  Form_About* aboutWindow() const;
  // Pixels per 15 twips: 1 when the user's font fits the design, more when it
  // is wider, so that every caption fits.
  double layoutScale() const { return m_layout.scale(); }

 public slots:
  // A press of "CALCULATE": the calculation command, then the plot.
  void Command1_Click();
  // The menu entry "About": shows the one About window.
  void Mn_About_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Method SelectedMethod() const;
  // Shows the calculation's Text_h and the lines List1 does not show yet.
  void ShowCalculation();

  Calculation m_calculation;
  TwipLayout m_layout;
  ErrorReporter m_reportError;
  QPointer<Form_About> m_about;

  QGroupBox* Frame1;
  QGroupBox* Frame2;
  QGroupBox* Frame3;
  QGroupBox* Frame4;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLineEdit* Text_x0;
  QLineEdit* Text_y10;
  QLineEdit* Text_y20;
  QLineEdit* Text_x1;
  QLineEdit* Text_N;
  QLineEdit* Text_h;
  QPushButton* Command1;
  QRadioButton* Options[kMethodCount];
  QListWidget* List1;
  PictureBox* Picture1;
  QAction* Mn_About;
};

}  // namespace kavrin
