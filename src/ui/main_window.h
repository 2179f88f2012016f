#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
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

class AboutWindow;
class PictureBox;

// The main window: the initial conditions, the target point and step count,
// the seven methods, "CALCULATE", the step size, the result list and the plot.
// Each control keeps the object name of the layout table (Text_x1, Command1,
// List1, Picture1, Option_RK4, Mn_About...), by which tests and outside tools
// find it.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Shows a failure report; replaceable so that tests need no modal dialog.
  using ErrorReporter = std::function<void(const QString& message)>;

  // `available_memory` tells how much memory the machine can still provide
  // for the solution tables; by default the system is asked.
  explicit MainWindow(Calculation::MemoryProbe available_memory = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  const Calculation& calculation() const { return m_calculation; }
  AboutWindow* about_window() const;
  // Pixels per 15 twips: 1 when the user's font fits the design, more when it
  // is wider, so that every caption fits.
  double layout_scale() const { return m_layout.scale(); }

 public slots:
  // A press of "CALCULATE": the calculation command, then the plot.
  void Calculate();
  // The menu entry "About": shows the one About window.
  void ShowAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Method SelectedMethod() const;
  // Shows the calculation's step size and the lines the list does not show yet.
  void ShowCalculation();

  Calculation m_calculation;
  TwipLayout m_layout;
  ErrorReporter m_report_error;
  QPointer<AboutWindow> m_about;

  QLineEdit* m_x0_edit = nullptr;
  QLineEdit* m_y10_edit = nullptr;
  QLineEdit* m_y20_edit = nullptr;
  QLineEdit* m_x1_edit = nullptr;
  QLineEdit* m_steps_edit = nullptr;
  QLineEdit* m_step_size_edit = nullptr;
  QPushButton* m_calculate_button = nullptr;
  std::array<QRadioButton*, kMethodCount> m_method_buttons{};
  QListWidget* m_results = nullptr;
  PictureBox* m_picture = nullptr;
  QAction* m_about_action = nullptr;
};

}  // namespace kavrin
