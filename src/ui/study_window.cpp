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
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>
#include <system_error>

#include "core/methods.h"
#include "core/requests.h"
#include "core/study_report.h"
#include "plot/study_chart.h"
#include "render/chart_painter.h"
#include "ui/chart_view.h"
#include "ui/saving.h"

namespace kavrin {

namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A study in which every run failed: how many of what, then each failure,
// the first twelve of them.
QString AllFailedReport(const Study& study) {
  constexpr std::size_t kShown = 12;
  QStringList lines{QString::fromStdString(FailedRunsSummary(study)) + QLatin1Char('.')};
  const std::vector<std::string> failures = FailedRunNotes(study);
  for (std::size_t i = 0; i < std::min(kShown, failures.size()); ++i) lines << QString::fromStdString(failures[i]);
  if (failures.size() > kShown) lines << QStringLiteral("and %1 more.").arg(failures.size() - kShown);
  return lines.join(QLatin1Char('\n'));
}

// A table's cells into a table widget: the first column to the left, numbers to the right.
void Fill(QTableWidget* widget, const StudyTableCells& table) {
  widget->clear();
  widget->setColumnCount(static_cast<int>(table.header.size()));
  widget->setRowCount(static_cast<int>(table.rows.size()));
  QStringList header;
  for (const std::string& cell : table.header) header << QString::fromStdString(cell);
  widget->setHorizontalHeaderLabels(header);
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(table.rows[r][c]));
      item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
      widget->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  widget->resizeColumnsToContents();
}

// The ids of the boxes checked, separated by commas.
std::string CheckedIds(const std::vector<QCheckBox*>& boxes) {
  std::string ids;
  for (const QCheckBox* box : boxes)
    if (box->isChecked()) ids.append(ids.empty() ? "" : ",").append(box->property("method").toString().toStdString());
  return ids;
}

}  // namespace

StudyWindow::StudyWindow(const QString& x1, std::shared_ptr<const Problem> problem, int number, QWidget* parent)
    : QWidget(parent, Qt::Window), m_problem(std::move(problem)) {
  setObjectName(QStringLiteral("StudyWindow"));
  // Each window numbered after the first, so that the desktop tells them apart.
  setWindowTitle((m_problem->built_in()
                      ? QStringLiteral("Kavrin - convergence study")
                      : QStringLiteral("Kavrin - convergence study of ") + QString::fromStdString(m_problem->Title())) +
                 (number > 1 ? QStringLiteral(" (%1)").arg(number) : QString()));
  setAttribute(Qt::WA_DeleteOnClose);
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };
  auto* top = new QHBoxLayout;
  BuildInputs(top, x1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(BuildButtons());
  layout->addWidget(BuildNotes());
  layout->addWidget(BuildResults(), 1);
  PlaceNumberedWindow(this, number);
  SetRunning(false);
}

// The notes in an area of a few lines that scrolls, so that many failed runs
// never grow the window.
QWidget* StudyWindow::BuildNotes() {
  m_notes = new QLabel(this);
  m_notes->setObjectName(QStringLiteral("StudyNotes"));
  m_notes->setWordWrap(true);
  m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("StudyNotesArea"));
  area->setWidget(m_notes);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setFixedHeight(fontMetrics().lineSpacing() * 4 + 2 * area->frameWidth() + 4);
  return area;
}

// x1, the step counts, the axis and the methods.
void StudyWindow::BuildInputs(QHBoxLayout* top, const QString& x1) {
  auto* inputs = new QFormLayout;
  m_x1_edit = new QLineEdit(x1, this);
  m_x1_edit->setObjectName(QStringLiteral("StudyX1"));
  m_x1_edit->setAccessibleName(QStringLiteral("Target point x1"));
  inputs->addRow(QStringLiteral("x1 ="), m_x1_edit);
  m_steps_edit = new QLineEdit(QString::fromLatin1(kDefaultStudySteps), this);
  m_steps_edit->setObjectName(QStringLiteral("StudySteps"));
  m_steps_edit->setAccessibleName(QStringLiteral("Numbers of steps N"));
  QString help = QString::fromLatin1(kStepListHelp);
  help[0] = help[0].toUpper();
  m_steps_edit->setToolTip(help);
  m_steps_edit->setAccessibleDescription(m_steps_edit->toolTip());
  inputs->addRow(QStringLiteral("N ="), m_steps_edit);
  m_against = new QComboBox(this);
  m_against->setObjectName(QStringLiteral("StudyAgainst"));
  for (const AxisInfo& axis : kAxes) m_against->addItem(FromUtf8(axis.caption), FromUtf8(axis.name));
  m_against->setAccessibleName(QStringLiteral("What the chart sets the error against"));
  inputs->addRow(QStringLiteral("Error against"), m_against);
  BuildSweep(inputs);
  auto* methods = new QGridLayout;
  // Every method known when the window opens: the nine and the tableaux added.
  const std::vector<Method> known = KnownMethods();
  for (std::size_t i = 0; i < known.size(); ++i) {
    const MethodInfo& info = Info(known[i]);
    auto* box = new QCheckBox(FromUtf8(info.caption), this);
    box->setObjectName(QStringLiteral("StudyMethod_") + FromUtf8(info.id));
    box->setProperty("method", FromUtf8(info.id));
    box->setChecked(i < kWindowMethodCount);
    methods->addWidget(box, static_cast<int>(i % 4), static_cast<int>(i / 4));
    m_method_boxes.push_back(box);
  }
  top->addLayout(inputs);
  top->addLayout(methods);
  connect(m_x1_edit, &QLineEdit::returnPressed, this, &StudyWindow::Run);
  connect(m_steps_edit, &QLineEdit::returnPressed, this, &StudyWindow::Run);
}

// The tolerance sweep: on or off with its tolerances, and the pairs that
// choose their steps under them, a row each.
void StudyWindow::BuildSweep(QFormLayout* inputs) {
  auto* row = new QHBoxLayout;
  m_sweep = new QCheckBox(QStringLiteral("sweep"), this);
  m_sweep->setObjectName(QStringLiteral("StudySweep"));
  m_sweep->setToolTip(QStringLiteral("Add runs whose methods choose their own steps, one per tolerance"));
  m_tolerances_edit = new QLineEdit(QString::fromLatin1(kDefaultTolerances), this);
  m_tolerances_edit->setObjectName(QStringLiteral("StudyTolerances"));
  m_tolerances_edit->setAccessibleName(QStringLiteral("Tolerances"));
  QString help = QString::fromLatin1(kToleranceListHelp);
  help[0] = help[0].toUpper();
  m_tolerances_edit->setToolTip(help);
  m_tolerances_edit->setAccessibleDescription(help);
  row->addWidget(m_sweep);
  row->addWidget(m_tolerances_edit, 1);
  inputs->addRow(QStringLiteral("Tolerances"), row);
  auto* pairs = new QHBoxLayout;
  for (const std::string& id : PairedMethodIds()) {
    const std::optional<Method> method = FindMethod(id);
    if (!method) continue;
    auto* box = new QCheckBox(FromUtf8(Info(*method).id), this);
    box->setObjectName(QStringLiteral("StudyPair_") + FromUtf8(id));
    box->setProperty("method", FromUtf8(id));
    box->setToolTip(FromUtf8(Info(*method).result_name) + QStringLiteral(", choosing its own steps"));
    box->setChecked(true);
    pairs->addWidget(box);
    m_pair_boxes.push_back(box);
  }
  pairs->addStretch(1);
  inputs->addRow(QStringLiteral("Choosing steps"), pairs);
  auto enable = [this](bool on) {
    m_tolerances_edit->setEnabled(on);
    for (QCheckBox* box : m_pair_boxes) box->setEnabled(on);
  };
  connect(m_sweep, &QCheckBox::toggled, this, enable);
  enable(false);
  connect(m_tolerances_edit, &QLineEdit::returnPressed, this, &StudyWindow::Run);
}

// Run, Cancel, the progress and the saving.
QLayout* StudyWindow::BuildButtons() {
  m_run = NamedButton(this, "Run", "StudyRun");
  m_run->setDefault(true);
  m_cancel_button = NamedButton(this, "Cancel", "StudyCancel");
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("StudyProgress"));
  m_progress->setAccessibleName(QStringLiteral("Runs done"));
  // Hidden between studies, it keeps its place, so that nothing moves under the pointer.
  QSizePolicy keep = m_progress->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_progress->setSizePolicy(keep);
  m_save_table = NamedButton(this, "Save table as CSV...", "StudySaveTable");
  m_save_chart = NamedButton(this, "Save chart as SVG/PNG...", "StudySaveChart");
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{m_run, m_cancel_button, m_progress, m_save_table, m_save_chart})
    buttons->addWidget(w);
  connect(m_run, &QPushButton::clicked, this, &StudyWindow::Run);
  connect(m_cancel_button, &QPushButton::clicked, this, &StudyWindow::Cancel);
  connect(m_save_table, &QPushButton::clicked, this, &StudyWindow::SaveTable);
  connect(m_save_chart, &QPushButton::clicked, this, &StudyWindow::SaveChart);
  return buttons;
}

// The chart over the table.
QWidget* StudyWindow::BuildResults() {
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
  m_sweep_table = new QTableWidget(this);
  m_sweep_table->setObjectName(QStringLiteral("StudySweepTable"));
  m_sweep_table->setAccessibleName(QStringLiteral("The runs choosing their own steps"));
  m_sweep_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_sweep_table->verticalHeader()->hide();
  m_sweep_table->hide();
  auto* tables = new QSplitter(Qt::Horizontal, this);
  tables->addWidget(m_table);
  tables->addWidget(m_sweep_table);
  auto* results = new QSplitter(Qt::Vertical, this);
  results->addWidget(m_chart);
  results->addWidget(tables);
  results->setStretchFactor(0, 3);
  results->setStretchFactor(1, 2);
  return results;
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
  StudyTexts texts;
  texts.x1 = m_x1_edit->text().toStdString();
  texts.steps = m_steps_edit->text().toStdString();
  texts.methods = CheckedIds(m_method_boxes);
  texts.against = m_against->currentData().toString().toStdString();
  if (m_sweep->isChecked()) {
    texts.sweep = true;
    texts.tolerances = m_tolerances_edit->text().toStdString();
    texts.pairs = CheckedIds(m_pair_boxes);
  }
  const Outcome<StudyRequest> request = ReadStudyRequest(m_problem, texts);
  if (!request.ok()) {
    m_report_error(Report(request.failure()));
    return;
  }
  m_cancel = false;
  StudyProgress progress;
  progress.cancel = &m_cancel;
  // The bar shows the latest count: a run that ends while the window has
  // not yet shown the last one only updates it, so that the window's thread
  // does not take turns with the study's for every run.
  m_done = 0;
  progress.tell = [this](std::size_t done, std::size_t total) {
    m_done = done;
    if (m_progress_pending.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this, total] {
          m_progress_pending = false;
          Progress(m_done, total);
        },
        Qt::QueuedConnection);
  };
  m_progress->setRange(0, 0);
  SetRunning(true);
  auto work = [this, request = request.value(), progress] {
    auto study = std::make_shared<Study>(RunStudy(request, progress));
    QMetaObject::invokeMethod(
        this, [this, study] { Finish(study); }, Qt::QueuedConnection);
  };
  try {
    m_thread = std::thread(work);
  } catch (const std::system_error&) {
    // No thread to be had: the study runs here, the window waiting for it.
    Finish(std::make_shared<Study>(RunStudy(request.value(), progress)));
  }
}

void StudyWindow::Progress(std::size_t done, std::size_t total) {
  m_progress->setRange(0, static_cast<int>(total));
  m_progress->setValue(static_cast<int>(done));
}

// The table, the notes and the chart of the study just finished.
void StudyWindow::ShowStudy() {
  Fill(m_table, StudyTable(*m_study));
  m_table->setVisible(!m_study->runs.empty());
  Fill(m_sweep_table, SweepTable(*m_study));
  m_sweep_table->setVisible(!m_study->sweep.empty());
  QStringList notes;
  for (const std::string& note : StudyNotes(*m_study)) notes << QString::fromStdString(note);
  m_notes->setText(notes.join(QLatin1Char('\n')));
  m_chart->Show(
      [study = m_study](ChartSize size, const TextWidth& measure) { return StudyChart(*study, size, measure); });
}

void StudyWindow::Finish(std::shared_ptr<Study> study) {
  if (m_thread.joinable()) m_thread.join();
  const bool shown = !study->cancelled;
  if (shown) {
    m_study = std::move(study);
    ShowStudy();
  }
  SetRunning(false);
  m_progress->reset();
  // Every run failed: the report, as on the command line, once the window is
  // ready for the next study.
  if (shown && !m_study->runs.empty() &&
      std::all_of(m_study->runs.begin(), m_study->runs.end(), [](const StudyRun& run) { return run.failed(); }))
    m_report_error(AllFailedReport(*m_study));
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
  if (const std::optional<Failure> failure = SaveBytes(path, StudyReport(*m_study, ReportFormat::Csv)))
    m_report_error(Report(*failure));
}

void StudyWindow::SaveChart() {
  if (!m_study) return;
  const QString path =
      m_choose_file(QStringLiteral("Save chart as"), QStringLiteral("SVG drawing (*.svg);;PNG image (*.png)"),
                    QStringLiteral("study.svg"));
  if (path.isEmpty()) return;
  const PictureType type = PictureTypeOf(path);
  if (type == PictureType::None) {
    m_report_error(UnknownPictureType(path));
    return;
  }
  const Chart chart = StudyChart(*m_study, kSavedChartSize, PainterTextWidth(kChartFont));
  const bool svg = type == PictureType::Svg;
  const QByteArray bytes =
      svg ? ChartSvg(chart, QString::fromLatin1(kStudyChartTitle)) : ChartPng(chart, devicePixelRatioF());
  if (const std::optional<Failure> failure =
          SaveBytes(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
    m_report_error(Report(*failure));
}

}  // namespace kavrin
