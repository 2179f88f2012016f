#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "core/problem.h"
#include "core/study.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QHBoxLayout;
class QLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kavrin {

class ChartView;

// The convergence study in a window of its own, beside the main window
// (several may be open): x1, the step counts, the methods and the chart's
// axis; Run starts the study on a thread of its own, with progress and
// Cancel, and the window stays responsive. The result is the command line's
// table and chart, from the same core and chart code, which can be saved as
// CSV and as SVG or PNG. Closing the window during a run cancels it and
// waits for the thread.
class StudyWindow : public QWidget {
  Q_OBJECT

 public:
  using ErrorReporter = std::function<void(const QString& message)>;
  // Asks where to save: a title, the file types and a suggested name; an
  // empty text when the user cancels.
  using FileChooser = std::function<QString(const QString& title, const QString& filter, const QString& name)>;

  // Studies `problem`, from x1 as the main window had it; `number` counts
  // the study windows opened, for the title and the place.
  StudyWindow(const QString& x1, std::shared_ptr<const Problem> problem, int number = 1, QWidget* parent = nullptr);
  ~StudyWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  void set_file_chooser(FileChooser chooser) { m_choose_file = std::move(chooser); }
  bool running() const { return m_thread.joinable(); }
  // The last study finished, if any.
  const Study* study() const { return m_study.get(); }

 public slots:
  void Run();
  void Cancel();
  void SaveTable();
  void SaveChart();

 signals:
  // A run ended: finished, cancelled or failed.
  void Ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildInputs(QHBoxLayout* top, const QString& x1);
  void BuildSweep(QFormLayout* inputs);
  QLayout* BuildButtons();
  QWidget* BuildNotes();
  QWidget* BuildResults();
  void Progress(std::size_t done, std::size_t total);
  void ShowStudy();
  void Finish(std::shared_ptr<Study> study);
  void Stop();
  void SetRunning(bool running);

  ErrorReporter m_report_error;
  FileChooser m_choose_file;
  std::shared_ptr<const Problem> m_problem;
  std::shared_ptr<Study> m_study;

  std::thread m_thread;
  std::atomic<bool> m_cancel{false};
  std::atomic<std::size_t> m_done{0};           // runs done, as last told
  std::atomic<bool> m_progress_pending{false};  // a count on its way to the bar

  QLineEdit* m_x1_edit = nullptr;
  QLineEdit* m_steps_edit = nullptr;
  std::vector<QCheckBox*> m_method_boxes;
  QComboBox* m_against = nullptr;
  QCheckBox* m_sweep = nullptr;  // a tolerance sweep beside the fixed runs
  QLineEdit* m_tolerances_edit = nullptr;
  std::vector<QCheckBox*> m_pair_boxes;
  QPushButton* m_run = nullptr;
  QPushButton* m_cancel_button = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_save_table = nullptr;
  QPushButton* m_save_chart = nullptr;
  QLabel* m_notes = nullptr;
  QTableWidget* m_table = nullptr;
  QTableWidget* m_sweep_table = nullptr;
  ChartView* m_chart = nullptr;
};

}  // namespace kavrin
