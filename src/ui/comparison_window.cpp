#include "ui/comparison_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <system_error>

#include "core/files.h"
#include "plot/comparison_charts.h"
#include "plot/step_size_chart.h"
#include "render/chart_painter.h"
#include "ui/chart_view.h"
#include "ui/saving.h"

namespace kavrin {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The three charts: their tab, object name, file name and builder.
struct ChartTab {
  const char* caption;
  const char* name;
  const char* file;
  Chart (*build)(const Comparison&, ChartSize, const TextWidth&);
};
constexpr ChartTab kTabs[] = {
    {"Phase plane", "ComparePhase", "phase.svg", PhaseChart},
    {"Error along x", "CompareError", "error.svg", ErrorAlongChart},
    {"Invariant drift", "CompareDrift", "drift.svg", DriftChart},
    {"Step size along x", "CompareStepSize", "steps.svg", StepSizeAlongChart},
};

QLineEdit* Edit(QWidget* parent, const QString& text, const char* name, const char* accessible) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(QString::fromUtf8(accessible));
  return edit;
}

}  // namespace

ComparisonWindow::ComparisonWindow(const QString& x1, const QString& N, std::shared_ptr<const Problem> problem,
                                   int number, QWidget* parent)
    : QWidget(parent, Qt::Window), m_problem(std::move(problem)) {
  setObjectName(QStringLiteral("ComparisonWindow"));
  setWindowTitle((m_problem->built_in()
                      ? QStringLiteral("Kavrin - compare methods")
                      : QStringLiteral("Kavrin - compare methods on ") + QString::fromStdString(m_problem->Title())) +
                 (number > 1 ? QStringLiteral(" (%1)").arg(number) : QString()));
  setAttribute(Qt::WA_DeleteOnClose);
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(BuildInputs(x1, N));
  layout->addLayout(BuildButtons());
  layout->addWidget(BuildNotes());
  layout->addWidget(BuildCharts(), 1);
  PlaceNumberedWindow(this, number);
  SetRunning(false);
}

ComparisonWindow::~ComparisonWindow() { Stop(); }

// x1, N, the field's x and the invariant, and the methods.
QLayout* ComparisonWindow::BuildInputs(const QString& x1, const QString& N) {
  auto* inputs = new QFormLayout;
  m_x1_edit = Edit(this, x1, "CompareX1", "Target point x1");
  m_steps_edit = Edit(this, N, "CompareSteps", "Number of steps N");
  m_field_x_edit = Edit(this, QString(), "CompareFieldX", "The x of the direction field");
  m_field_x_edit->setPlaceholderText(QStringLiteral("x0 = ") + QString::fromStdString(m_problem->texts.x0));
  m_invariant_edit = Edit(this, QString::fromStdString(ExampleInvariant(m_problem->texts)), "CompareInvariant",
                          "Invariant H(x, y1, y2)");
  m_invariant_edit->setPlaceholderText(QStringLiteral("none, or an expression in x, y1 and y2"));
  m_invariant_edit->setToolTip(QStringLiteral("A quantity the exact solution keeps constant. ") +
                               QString::fromStdString(EquationLanguageHelp()));
  inputs->addRow(QStringLiteral("x1 ="), m_x1_edit);
  inputs->addRow(QStringLiteral("N ="), m_steps_edit);
  inputs->addRow(QStringLiteral("Field at x ="), m_field_x_edit);
  inputs->addRow(QStringLiteral("Invariant H ="), m_invariant_edit);
  m_tolerance_edit = Edit(this, QStringLiteral("1e-6"), "CompareTolerance", "Tolerance of the steps chosen");
  m_tolerance_edit->setPlaceholderText(QStringLiteral("none, or a tolerance such as 1e-6"));
  m_tolerance_edit->setToolTip(
      QStringLiteral("The methods with an embedded pair also choose their own steps under this tolerance: the "
                     "step size along x"));
  inputs->addRow(QStringLiteral("Tolerance ="), m_tolerance_edit);
  auto* methods = new QGridLayout;
  // Every method known when the window opens: the nine and the tableaux added.
  const std::vector<Method> known = KnownMethods();
  for (std::size_t i = 0; i < known.size(); ++i) {
    const MethodInfo& info = Info(known[i]);
    auto* box = new QCheckBox(FromUtf8(info.caption), this);
    box->setObjectName(QStringLiteral("CompareMethod_") + FromUtf8(info.id));
    box->setProperty("method", FromUtf8(info.id));
    box->setChecked(i < kWindowMethodCount);
    methods->addWidget(box, static_cast<int>(i % 4), static_cast<int>(i / 4));
    m_method_boxes.push_back(box);
  }
  for (QLineEdit* edit : {m_x1_edit, m_steps_edit, m_field_x_edit, m_invariant_edit, m_tolerance_edit})
    connect(edit, &QLineEdit::returnPressed, this, &ComparisonWindow::Run);
  auto* top = new QHBoxLayout;
  top->addLayout(inputs, 1);
  top->addLayout(methods);
  return top;
}

QLayout* ComparisonWindow::BuildButtons() {
  m_run = NamedButton(this, "Run", "CompareRun");
  m_run->setDefault(true);
  m_cancel_button = NamedButton(this, "Cancel", "CompareCancel");
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("CompareProgress"));
  m_progress->setAccessibleName(QStringLiteral("Work done"));
  QSizePolicy keep = m_progress->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_progress->setSizePolicy(keep);
  m_save_rows = NamedButton(this, "Save rows as CSV...", "CompareSaveRows");
  m_save_chart = NamedButton(this, "Save chart as SVG/PNG...", "CompareSaveChart");
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{m_run, m_cancel_button, m_progress, m_save_rows, m_save_chart})
    buttons->addWidget(w);
  connect(m_run, &QPushButton::clicked, this, &ComparisonWindow::Run);
  connect(m_cancel_button, &QPushButton::clicked, this, &ComparisonWindow::Cancel);
  connect(m_save_rows, &QPushButton::clicked, this, &ComparisonWindow::SaveRows);
  connect(m_save_chart, &QPushButton::clicked, this, &ComparisonWindow::SaveChart);
  return buttons;
}

// A few lines that scroll: where each path ended, its error and drift.
QWidget* ComparisonWindow::BuildNotes() {
  m_notes = new QLabel(this);
  m_notes->setObjectName(QStringLiteral("CompareNotes"));
  m_notes->setWordWrap(true);
  m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont fixed = m_notes->font();
  fixed.setStyleHint(QFont::Monospace);
  fixed.setFamily(QStringLiteral("DejaVu Sans Mono"));
  m_notes->setFont(fixed);
  auto* area = new QScrollArea(this);
  area->setWidget(m_notes);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setFixedHeight(fontMetrics().lineSpacing() * 4 + 2 * area->frameWidth() + 4);
  return area;
}

QWidget* ComparisonWindow::BuildCharts() {
  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName(QStringLiteral("CompareTabs"));
  for (const ChartTab& tab : kTabs) {
    auto* view = new ChartView(this);
    view->setObjectName(QString::fromLatin1(tab.name));
    view->setAccessibleName(QString::fromUtf8(tab.caption));
    m_tabs->addTab(view, QString::fromUtf8(tab.caption));
    m_charts.push_back(view);
  }
  return m_tabs;
}

void ComparisonWindow::SetRunning(bool running) {
  m_run->setEnabled(!running);
  m_cancel_button->setEnabled(running);
  m_progress->setVisible(running);
  m_save_rows->setEnabled(!running && m_comparison != nullptr);
  m_save_chart->setEnabled(!running && m_comparison != nullptr);
}

ComparisonTexts ComparisonWindow::Texts() const {
  ComparisonTexts texts;
  texts.x1 = m_x1_edit->text().toStdString();
  texts.N = m_steps_edit->text().toStdString();
  texts.field_x = m_field_x_edit->text().toStdString();
  texts.invariant = m_invariant_edit->text().toStdString();
  texts.tolerance = m_tolerance_edit->text().toStdString();
  texts.methods.clear();
  for (const QCheckBox* box : m_method_boxes) {
    if (box->isChecked())
      texts.methods.append(texts.methods.empty() ? "" : ",").append(box->property("method").toString().toStdString());
  }
  return texts;
}

void ComparisonWindow::Run() {
  if (running()) return;
  const Outcome<ComparisonRequest> request = ReadComparisonRequest(m_problem, Texts());
  if (!request.ok()) {
    m_report_error(Report(request.failure()));
    return;
  }
  m_cancel = false;
  StudyProgress progress;
  progress.cancel = &m_cancel;
  m_done = 0;
  // The bar shows the latest count, one update on its way at a time.
  progress.tell = [this](std::size_t done, std::size_t total) {
    m_done = done;
    if (m_progress_pending.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this, total] {
          m_progress_pending = false;
          m_progress->setRange(0, static_cast<int>(total));
          m_progress->setValue(static_cast<int>(m_done));
        },
        Qt::QueuedConnection);
  };
  m_progress->setRange(0, 0);
  SetRunning(true);
  auto work = [this, request = request.value(), progress] {
    auto outcome = std::make_shared<Outcome<Comparison>>(RunComparison(request, progress));
    QMetaObject::invokeMethod(
        this, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
  };
  try {
    m_thread = std::thread(work);
  } catch (const std::system_error&) {
    Finish(std::make_shared<Outcome<Comparison>>(RunComparison(request.value(), progress)));
  }
}

void ComparisonWindow::Finish(const std::shared_ptr<Outcome<Comparison>>& outcome) {
  if (m_thread.joinable()) m_thread.join();
  SetRunning(false);
  m_progress->reset();
  if (!outcome->ok()) {
    m_report_error(Report(outcome->failure()));
  } else if (!outcome->value().cancelled) {
    m_comparison = std::make_shared<const Comparison>(std::move(outcome->value()));
    ShowComparison();
    SetRunning(false);
  }
  emit Ended();
}

void ComparisonWindow::ShowComparison() {
  QStringList notes;
  for (const std::string& note : ComparisonNotes(*m_comparison)) notes << QString::fromStdString(note);
  m_notes->setText(notes.join(QLatin1Char('\n')));
  for (std::size_t i = 0; i < m_charts.size(); ++i) {
    m_charts[i]->Show([comparison = m_comparison, build = kTabs[i].build](ChartSize size, const TextWidth& measure) {
      return build(*comparison, size, measure);
    });
  }
}

void ComparisonWindow::Cancel() { m_cancel = true; }

void ComparisonWindow::Stop() {
  m_cancel = true;
  if (m_thread.joinable()) m_thread.join();
}

void ComparisonWindow::closeEvent(QCloseEvent* event) {
  Stop();
  QWidget::closeEvent(event);
}

void ComparisonWindow::SaveRows() {
  if (!m_comparison) return;
  const QString path = m_choose_file(QStringLiteral("Save rows as CSV"), QStringLiteral("CSV table (*.csv)"),
                                     QStringLiteral("comparison.csv"));
  if (path.isEmpty()) return;
  const std::shared_ptr<const Comparison> comparison = m_comparison;
  if (const std::optional<Failure> failure =
          WriteFile(QFile::encodeName(path).toStdString(),
                    [&comparison](const OutputSink& sink) { return WriteComparisonCsv(*comparison, sink); }))
    m_report_error(Report(*failure));
}

// The chart of the tab on show, at the size the command line saves.
void ComparisonWindow::SaveChart() {
  if (!m_comparison) return;
  const ChartTab& tab = kTabs[std::max(0, m_tabs->currentIndex())];
  const QString path =
      m_choose_file(QStringLiteral("Save chart as"), QStringLiteral("SVG drawing (*.svg);;PNG image (*.png)"),
                    QString::fromLatin1(tab.file));
  if (path.isEmpty()) return;
  const PictureType type = PictureTypeOf(path);
  if (type == PictureType::None) {
    m_report_error(UnknownPictureType(path));
    return;
  }
  const Chart chart = tab.build(*m_comparison, {900, 600}, PainterTextWidth(kChartFont));
  const QString title = QString::fromLatin1(tab.build == PhaseChart           ? kPhaseChartTitle
                                            : tab.build == StepSizeAlongChart ? kStepSizeChartTitle
                                                                              : kAlongChartTitle);
  const QByteArray bytes = type == PictureType::Svg ? ChartSvg(chart, title) : ChartPng(chart, devicePixelRatioF());
  if (const std::optional<Failure> failure =
          SaveBytes(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
    m_report_error(Report(*failure));
}

}  // namespace kavrin
