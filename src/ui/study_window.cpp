#include "ui/study_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <system_error>

#include "core/number_text.h"
#include "core/study_report.h"
#include "ode/failure.h"

#include "plot/study_chart.h"
#include "render/chart_painter.h"
#include "ui/saving.h"

namespace kavrin {

constexpr char kChartFont[] = "DejaVu Sans";
// The saved chart has the command line's size, whatever the window's.
constexpr int kSavedChartWidth = 900;
constexpr int kSavedChartHeight = 600;

// The study's chart, laid out anew at the widget's size.
class ChartView : public QWidget {
 public:
  explicit ChartView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 300);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void Show(std::shared_ptr<const Study> study) {
    m_study = std::move(study);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_study) PaintChart(painter, StudyChart(*m_study, width(), height(), PainterTextWidth(kChartFont)));
  }

 private:
  std::shared_ptr<const Study> m_study;
};

namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

StudyWindow::StudyWindow(const QString& x1, std::shared_ptr<const OwnSystem> system, QWidget* parent)
    : QWidget(parent, Qt::Window), m_system(std::move(system)) {
  setObjectName(QStringLiteral("StudyWindow"));
  setWindowTitle(m_system != nullptr
                     ? QStringLiteral("Kavrin - convergence study of ") + QString::fromStdString(m_system->Title())
                     : QStringLiteral("Kavrin - convergence study"));
  setAttribute(Qt::WA_DeleteOnClose);
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };

  auto* inputs = new QFormLayout;
  m_x1_edit = new QLineEdit(x1, this);
  m_x1_edit->setObjectName(QStringLiteral("StudyX1"));
  m_x1_edit->setAccessibleName(QStringLiteral("Target point x1"));
  inputs->addRow(QStringLiteral("x1 ="), m_x1_edit);
  m_steps_edit = new QLineEdit(QStringLiteral("10..10240"), this);
  m_steps_edit->setObjectName(QStringLiteral("StudySteps"));
  m_steps_edit->setAccessibleName(QStringLiteral("Numbers of steps N"));
  m_steps_edit->setToolTip(QStringLiteral("A list such as 20,40,80 or a doubling range such as 10..10240"));
  m_steps_edit->setAccessibleDescription(m_steps_edit->toolTip());
  inputs->addRow(QStringLiteral("N ="), m_steps_edit);
  m_against = new QComboBox(this);
  m_against->setObjectName(QStringLiteral("StudyAgainst"));
  m_against->addItems({QStringLiteral("the number of steps N"), QStringLiteral("evaluations of the system"),
                       QStringLiteral("the march time")});
  m_against->setAccessibleName(QStringLiteral("What the chart sets the error against"));
  inputs->addRow(QStringLiteral("Error against"), m_against);

  auto* methods = new QGridLayout;
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    auto* box = new QCheckBox(FromUtf8(kMethods[i].caption), this);
    box->setObjectName(QStringLiteral("StudyMethod_") + FromUtf8(kMethods[i].id));
    box->setChecked(true);
    methods->addWidget(box, static_cast<int>(i % 4), static_cast<int>(i / 4));
    m_method_boxes[i] = box;
  }

  m_run = new QPushButton(QStringLiteral("Run"), this);
  m_run->setObjectName(QStringLiteral("StudyRun"));
  m_run->setDefault(true);
  m_cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancel_button->setObjectName(QStringLiteral("StudyCancel"));
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("StudyProgress"));
  m_progress->setAccessibleName(QStringLiteral("Runs done"));
  m_save_table = new QPushButton(QStringLiteral("Save table as CSV..."), this);
  m_save_table->setObjectName(QStringLiteral("StudySaveTable"));
  m_save_chart = new QPushButton(QStringLiteral("Save chart as SVG/PNG..."), this);
  m_save_chart->setObjectName(QStringLiteral("StudySaveChart"));
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{m_run, m_cancel_button, m_progress, m_save_table, m_save_chart})
    buttons->addWidget(w);

  m_notes = new QLabel(this);
  m_notes->setObjectName(QStringLiteral("StudyNotes"));
  m_notes->setWordWrap(true);
  m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_table = new QTableWidget(this);
  m_table->setObjectName(QStringLiteral("StudyTable"));
  m_table->setAccessibleName(QStringLiteral("The study's table"));
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->hide();
  m_chart = new ChartView(this);
  m_chart->setObjectName(QStringLiteral("StudyChart"));
  m_chart->setAccessibleName(QStringLiteral("The study's chart"));
  m_chart->setAccessibleDescription(
      QStringLiteral("Each method's error against N on logarithmic scales, with its truncation and the runs' "
                     "rounding"));
  auto* results = new QSplitter(Qt::Vertical, this);
  results->addWidget(m_chart);
  results->addWidget(m_table);
  results->setStretchFactor(0, 3);
  results->setStretchFactor(1, 2);

  auto* top = new QHBoxLayout;
  top->addLayout(inputs);
  top->addLayout(methods);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->addWidget(m_notes);
  layout->addWidget(results, 1);
  resize(960, 820);

  connect(m_run, &QPushButton::clicked, this, &StudyWindow::Run);
  connect(m_x1_edit, &QLineEdit::returnPressed, this, &StudyWindow::Run);
  connect(m_steps_edit, &QLineEdit::returnPressed, this, &StudyWindow::Run);
  connect(m_cancel_button, &QPushButton::clicked, this, &StudyWindow::Cancel);
  connect(m_save_table, &QPushButton::clicked, this, &StudyWindow::SaveTable);
  connect(m_save_chart, &QPushButton::clicked, this, &StudyWindow::SaveChart);
  SetRunning(false);
}

StudyWindow::~StudyWindow() { Stop(); }

void StudyWindow::SetRunning(bool running) {
  m_run->setEnabled(!running);
  m_cancel_button->setEnabled(running);
  m_progress->setVisible(running);
  m_save_table->setEnabled(!running && m_study != nullptr);
  m_save_chart->setEnabled(!running && m_study != nullptr);
}

void StudyWindow::Run() {
  if (running()) return;
  StudyOptions options;
  const std::string x1 = m_x1_edit->text().toStdString();
  try {
    options.x1 = ReadNumber(x1, "x1");
  } catch (const Failure&) {
    m_report_error(QStringLiteral("x1: ") + QString::fromStdString(QuotedInput(x1)) +
                   QStringLiteral(" is too large to compute with."));
    return;
  }
  const StepCounts steps = ReadStepCounts(m_steps_edit->text().toStdString());
  if (!steps.error.empty()) {
    m_report_error(QStringLiteral("N: ") + QString::fromStdString(steps.error) + QStringLiteral("."));
    return;
  }
  options.steps = steps.counts;
  for (std::size_t i = 0; i < kMethodCount; ++i)
    if (m_method_boxes[i]->isChecked()) options.methods.push_back(kMethods[i].method);
  if (options.methods.empty()) {
    m_report_error(QStringLiteral("Choose at least one method."));
    return;
  }
  options.against = static_cast<Against>(m_against->currentIndex());
  options.system = m_system;

  m_cancel = false;
  options.cancel = &m_cancel;
  options.progress = [this](std::size_t done, std::size_t total) {
    QMetaObject::invokeMethod(
        this, [this, done, total] { Progress(done, total); }, Qt::QueuedConnection);
  };
  m_progress->setRange(0, 0);
  SetRunning(true);
  auto work = [this, options] {
    auto study = std::make_shared<Study>(RunStudy(options));
    QMetaObject::invokeMethod(
        this, [this, study] { Finish(study); }, Qt::QueuedConnection);
  };
  try {
    m_thread = std::thread(work);
  } catch (const std::system_error&) {
    // No thread to be had: the study runs here, the window waiting for it.
    auto study = std::make_shared<Study>(RunStudy(options));
    Finish(study);
  }
}

void StudyWindow::Progress(std::size_t done, std::size_t total) {
  m_progress->setRange(0, static_cast<int>(total));
  m_progress->setValue(static_cast<int>(done));
}

void StudyWindow::Finish(std::shared_ptr<Study> study) {
  if (m_thread.joinable()) m_thread.join();
  if (!study->cancelled) {
    m_study = std::move(study);
    const StudyTableCells table = StudyTable(*m_study);
    m_table->clear();
    m_table->setColumnCount(static_cast<int>(table.header.size()));
    m_table->setRowCount(static_cast<int>(table.rows.size()));
    QStringList header;
    for (const std::string& cell : table.header) header << QString::fromStdString(cell);
    m_table->setHorizontalHeaderLabels(header);
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
        auto* item = new QTableWidgetItem(QString::fromStdString(table.rows[r][c]));
        item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(static_cast<int>(r), static_cast<int>(c), item);
      }
    }
    m_table->resizeColumnsToContents();
    QStringList notes;
    if (!m_study->reference.valid()) notes << QString::fromStdString(NoReferenceText(*m_study));
    for (const std::string& line : FailedRuns(*m_study)) notes << QString::fromStdString(line);
    if (m_study->reference.valid()) {
      QStringList orders;
      std::vector<Method> methods;
      for (const StudyRun& run : m_study->runs)
        if (std::find(methods.begin(), methods.end(), run.method) == methods.end()) methods.push_back(run.method);
      for (const Method method : methods)
        orders << FromUtf8(Info(method).id) + QStringLiteral(" ") + QString::fromStdString(OrderText(*m_study, method));

      notes << QStringLiteral("Fitted orders: ") + orders.join(QStringLiteral("; "));
    }
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_chart->Show(m_study);
    // Every run overflowed: the command line's report and status 1.
    const bool all_failed =
        std::all_of(m_study->runs.begin(), m_study->runs.end(), [](const StudyRun& run) { return run.failed(); });
    if (!m_study->runs.empty() && all_failed) m_report_error(QString::fromStdString(FailedRuns(*m_study).front()));
  }
  SetRunning(false);
  emit Ended();
}

void StudyWindow::Cancel() { m_cancel = true; }

void StudyWindow::Stop() {
  m_cancel = true;
  if (m_thread.joinable()) m_thread.join();
}

void StudyWindow::closeEvent(QCloseEvent* event) {
  // A run in progress stops within 2^16 steps; the thread is waited for,
  // never left running.
  Stop();
  QWidget::closeEvent(event);
}

void StudyWindow::SaveTable() {
  if (!m_study) return;
  const QString path = m_choose_file(QStringLiteral("Save table as CSV"), QStringLiteral("CSV table (*.csv)"),
                                     QStringLiteral("study.csv"));
  if (path.isEmpty()) return;
  const QString failure = SaveBytes(path, StudyReport(*m_study, ReportFormat::Csv));
  if (!failure.isEmpty()) m_report_error(failure);
}

void StudyWindow::SaveChart() {
  if (!m_study) return;
  const QString path =
      m_choose_file(QStringLiteral("Save chart as"), QStringLiteral("SVG drawing (*.svg);;PNG image (*.png)"),
                    QStringLiteral("study.svg"));
  if (path.isEmpty()) return;
  const Chart chart = StudyChart(*m_study, kSavedChartWidth, kSavedChartHeight, PainterTextWidth(kChartFont));
  const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
  const QByteArray bytes =
      svg ? ChartSvg(chart, QStringLiteral("Kavrin convergence study")) : ChartPng(chart, devicePixelRatioF());
  const QString failure = SaveBytes(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (!failure.isEmpty()) m_report_error(failure);
}

}  // namespace kavrin
