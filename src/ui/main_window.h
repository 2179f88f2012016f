#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <vector>

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
class StudyWindow;
class SystemDialog;

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
  // Asks where to save (a title, the file types, a suggested name); an empty
  // text when the user cancels. Replaceable as the reporter is.
  using FileChooser = std::function<QString(const QString& title, const QString& filter, const QString& name)>;

  // `available_memory` tells how much memory the machine can still provide
  // for the solution tables; by default the system is asked.
  explicit MainWindow(Calculation::MemoryProbe available_memory = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  void set_file_chooser(FileChooser chooser) { m_choose_file = std::move(chooser); }
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
  // The menu "Results": the selected lines (or all) to the clipboard, the
  // results as CSV, the picture as PNG or SVG, a new study window.
  void CopyResults();
  void SaveResults();
  void SavePicture();
  StudyWindow* OpenStudy();
  // The menu entry "System": a dialog to type an own system or go back to
  // the built-in one; returns it, open (not modal to the program).
  SystemDialog* ChooseSystem();
  // Integrates this system from now on (none: the built-in one): the start's
  // boxes show its texts, the title its equations.
  void UseSystem(std::shared_ptr<const OwnSystem> system);
  const OwnSystem* system() const { return m_system.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Method SelectedMethod() const;
  // Shows the calculation's step size and the lines the list does not show yet.
  void ShowCalculation();

  Calculation m_calculation;
  TwipLayout m_layout;
  ErrorReporter m_report_error;
  FileChooser m_choose_file;
  QPointer<AboutWindow> m_about;
  std::vector<QPointer<StudyWindow>> m_studies;
  std::shared_ptr<const OwnSystem> m_system;  // none: the built-in system

  // The tables' generation that the picture on show was drawn from; SVG is
  // drawn from the tables, so only while they are still those.
  std::uint64_t m_picture_tables = 0;
  bool m_picture_drawn = false;

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
