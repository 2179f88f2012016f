#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/problem.h"
#include "core/stability.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kavrin {

class ChartView;

// Methods as data, in a window of its own: the list of methods (the nine,
// the shipped tableaux and your own) to check for the chart; a tableau
// editor that shows the chosen method's tableau, with Check (the order
// conditions, the stability function and intervals) and Add as method;
// and the stability regions with h·λ of the main window's problem for x1
// and N, computed on a thread of its own, with the report beside it.
class MethodsWindow : public QWidget {
  Q_OBJECT

 public:
  using ErrorReporter = std::function<void(const QString& message)>;
  using FileChooser = std::function<QString(const QString& title, const QString& filter, const QString& name)>;

  MethodsWindow(const QString& x1, const QString& N, std::shared_ptr<const Problem> problem, int number = 1,
                QWidget* parent = nullptr);
  ~MethodsWindow() override;

  void set_error_reporter(ErrorReporter reporter) { m_report_error = std::move(reporter); }
  void set_file_chooser(FileChooser chooser) { m_choose_file = std::move(chooser); }
  bool running() const { return m_thread.joinable(); }
  const StabilityStudy* study() const { return m_study.get(); }

 public slots:
  void Run();
  void Cancel();
  void Check();
  void AddMethod();
  void SaveChart();

 signals:
  void Ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QLayout* BuildInputs(const QString& x1, const QString& N);
  QWidget* BuildMethods();
  QWidget* BuildEditor();
  QWidget* BuildResults();
  void ListMethod(Method method, bool checked);
  void ShowTableau(QListWidgetItem* item);
  void Finish(const std::shared_ptr<Outcome<StabilityStudy>>& outcome);
  void Stop();
  void SetRunning(bool running);

  ErrorReporter m_report_error;
  FileChooser m_choose_file;
  std::shared_ptr<const Problem> m_problem;
  std::shared_ptr<const StabilityStudy> m_study;

  std::thread m_thread;
  std::atomic<bool> m_cancel{false};

  QLineEdit* m_x1_edit = nullptr;
  QLineEdit* m_steps_edit = nullptr;
  QListWidget* m_methods = nullptr;
  QPlainTextEdit* m_tableau = nullptr;
  QLineEdit* m_id_edit = nullptr;
  QPlainTextEdit* m_analysis = nullptr;
  QPushButton* m_run = nullptr;
  QPushButton* m_cancel_button = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_save_chart = nullptr;
  QLabel* m_report = nullptr;
  ChartView* m_chart = nullptr;
};

}  // namespace kavrin
