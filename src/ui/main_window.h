#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/session.h"
#include "ui/twip_layout.h"

class QAction;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kavrin {

class AboutWindow;
class PictureBox;
class StudyWindow;
class ComparisonWindow;
class MethodsWindow;
class SystemDialog;

// The main window: the initial conditions, the target point and step count,
// the seven methods, "CALCULATE", the step size, the result list and the plot.
// Each control keeps the object name of the layout table (Text_x1, Command1,
// List1, Picture1, Option_RK4, Mn_About...), by which tests and outside tools
// find it. It holds one session, which does the work; the window collects the
// input and shows what comes back.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Shows a failure report, or a warning; replaceable so that tests need no
  // modal dialog.
  using ErrorReporter = std::function<void(const QString& message)>;
  // Asks where to save (a title, the file types, a suggested name); an empty
  // text when the user cancels. Replaceable as the reporter is.
  using FileChooser = std::function<QString(const QString& title, const QString& filter, const QString& name)>;

  // `available_memory` tells how much memory the machine can still provide
  // for the solution tables; by default the system is asked.
  explicit MainWindow(Calculation::MemoryProbe available_memory = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  void set_warning_reporter(ErrorReporter reporter) { m_report_warning = std::move(reporter); }
  void set_file_chooser(FileChooser chooser) { m_choose_file = std::move(chooser); }
  const Session& session() const { return m_session; }
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
  // A new window comparing the methods along the way, from x1 and N as shown.
  ComparisonWindow* OpenComparison();
  MethodsWindow* OpenMethods();
  // The menu entry "System": a dialog to type an own system or go back to
  // the built-in one; returns it, open (not modal to the program).
  SystemDialog* ChooseSystem();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls(QWidget* client);
  void BuildMenus();
  void DescribeControls();
  Method SelectedMethod() const;
  // Shows the session's problem: the start's boxes, the title.
  void ShowProblem();
  // Shows a press: the step size and the lines the list does not show yet.
  void ShowPress(const PressResult& press);
  // The picture as SVG, drawn anew from the tables, or empty with a report.
  std::string PictureSvg(const QString& path);

  Session m_session;
  TwipLayout m_layout;
  ErrorReporter m_report_error;
  ErrorReporter m_report_warning;
  FileChooser m_choose_file;
  QPointer<AboutWindow> m_about;
  std::vector<QPointer<StudyWindow>> m_studies;
  std::vector<QPointer<ComparisonWindow>> m_comparisons;
  std::vector<QPointer<MethodsWindow>> m_methods_windows;

  // The tables' generation that the picture on show was drawn from; SVG is
  // drawn from the tables, so only while they are still those.
  std::uint64_t m_picture_tables = 0;
  bool m_picture_drawn = false;

  std::array<QLineEdit*, 3> m_start_edits{};  // x0, y1(0), y2(0)
  QLineEdit* m_x1_edit = nullptr;
  QLineEdit* m_steps_edit = nullptr;
  QLineEdit* m_step_size_edit = nullptr;
  QPushButton* m_calculate_button = nullptr;
  std::array<QRadioButton*, 7> m_method_buttons{};
  QListWidget* m_results = nullptr;
  PictureBox* m_picture = nullptr;
  QAction* m_about_action = nullptr;
};

}  // namespace kavrin
