#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "core/comparison.h"
#include "core/problem.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace kavrin {

class ChartView;

// The methods compared along the way, in a window of its own beside the main
// window (several may be open): x1 and N as the main window had them, the
// methods, the x of the direction field and an invariant; Run works on a
// thread of its own with progress and Cancel. Its charts are the command
// line's, from the same core and chart code: the phase plane, the error
// along x and the invariant's drift, each in a tab and each to be saved as
// SVG or PNG, and the rows as CSV. Closing the window cancels a run and
// waits for its thread.
class ComparisonWindow : public QWidget {
  Q_OBJECT

 public:
  using ErrorReporter = std::function<void(const QString& message)>;
  using FileChooser = std::function<QString(const QString& title, const QString& filter, const QString& name)>;

  ComparisonWindow(const QString& x1, const QString& N, std::shared_ptr<const Problem> problem, int number = 1,
                   QWidget* parent = nullptr);
  ~ComparisonWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  void set_file_chooser(FileChooser chooser) { m_choose_file = std::move(chooser); }
  bool running() const { return m_thread.joinable(); }
  const Comparison* comparison() const { return m_comparison.get(); }

 public slots:
  void Run();
  void Cancel();
  void SaveRows();
  void SaveChart();

 signals:
  void Ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLayout* BuildInputs(const QString& x1, const QString& N);
  QLayout* BuildButtons();
  QWidget* BuildNotes();
  QWidget* BuildCharts();
  ComparisonTexts Texts() const;
  void Finish(const std::shared_ptr<Outcome<Comparison>>& outcome);
  void ShowComparison();
  void Stop();
  void SetRunning(bool running);

  ErrorReporter m_report_error;
  FileChooser m_choose_file;
  std::shared_ptr<const Problem> m_problem;
  std::shared_ptr<const Comparison> m_comparison;

  std::thread m_thread;
  std::atomic<bool> m_cancel{false};
  std::atomic<std::size_t> m_done{0};
  std::atomic<bool> m_progress_pending{false};

  QLineEdit* m_x1_edit = nullptr;
  QLineEdit* m_steps_edit = nullptr;
  QLineEdit* m_field_x_edit = nullptr;
  QLineEdit* m_invariant_edit = nullptr;
  QLineEdit* m_tolerance_edit = nullptr;
  std::vector<QCheckBox*> m_method_boxes;
  QPushButton* m_run = nullptr;
  QPushButton* m_cancel_button = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_save_rows = nullptr;
  QPushButton* m_save_chart = nullptr;
  QLabel* m_notes = nullptr;
  QTabWidget* m_tabs = nullptr;
  std::vector<ChartView*> m_charts;
};

}  // namespace kavrin
