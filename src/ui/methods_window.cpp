#include "ui/methods_window.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>
#include <system_error>

#include "core/methods.h"
#include "plot/stability_chart.h"
#include "render/chart_painter.h"
#include "ui/chart_view.h"
#include "ui/saving.h"

namespace kavrin {
namespace {

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont Fixed(QFont font) {
  font.setStyleHint(QFont::Monospace);
  font.setFamily(QStringLiteral("DejaVu Sans Mono"));
  return font;
}

// Where a list item keeps its method: its place, or the id of a shipped
// tableau not added yet.
constexpr int kMethodRole = Qt::UserRole;
constexpr int kShippedRole = Qt::UserRole + 1;

}  // namespace

MethodsWindow::MethodsWindow(const QString& x1, const QString& N, std::shared_ptr<const Problem> problem, int number,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_problem(std::move(problem)) {
  setObjectName(QStringLiteral("MethodsWindow"));
  setWindowTitle(QStringLiteral("Kavrin - methods and stability") +
                 (number > 1 ? QStringLiteral(" (%1)").arg(number) : QString()));
  setAttribute(Qt::WA_DeleteOnClose);
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(BuildInputs(x1, N));
  // The methods over the editor on the left; the chart, most of the width, on the right.
  auto* left = new QSplitter(Qt::Vertical, this);
  left->addWidget(BuildMethods());
  left->addWidget(BuildEditor());
  left->setStretchFactor(1, 1);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(left);
  split->addWidget(BuildResults());
  split->setStretchFactor(1, 1);
  split->setSizes({330, 630});
  layout->addWidget(split, 1);
  PlaceNumberedWindow(this, number);
  SetRunning(false);
  if (m_methods->count() > 0) m_methods->setCurrentRow(0);
}

MethodsWindow::~MethodsWindow() { Stop(); }

QLayout* MethodsWindow::BuildInputs(const QString& x1, const QString& N) {
  auto* row = new QHBoxLayout;
  auto* form = new QFormLayout;
  m_x1_edit = new QLineEdit(x1, this);
  m_x1_edit->setObjectName(QStringLiteral("MethodsX1"));
  m_x1_edit->setAccessibleName(QStringLiteral("Target point x1"));
  m_steps_edit = new QLineEdit(N, this);
  m_steps_edit->setObjectName(QStringLiteral("MethodsSteps"));
  m_steps_edit->setAccessibleName(QStringLiteral("Number of steps N"));
  form->addRow(QStringLiteral("x1 ="), m_x1_edit);
  form->addRow(QStringLiteral("N ="), m_steps_edit);
  row->addLayout(form, 1);
  m_run = NamedButton(this, "Run", "MethodsRun");
  m_run->setDefault(true);
  m_cancel_button = NamedButton(this, "Cancel", "MethodsCancel");
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("MethodsProgress"));
  m_progress->setAccessibleName(QStringLiteral("Work done"));
  QSizePolicy keep = m_progress->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_progress->setSizePolicy(keep);
  m_save_chart = NamedButton(this, "Save chart as SVG/PNG...", "MethodsSaveChart");
  for (QWidget* w : std::initializer_list<QWidget*>{m_run, m_cancel_button, m_progress, m_save_chart})
    row->addWidget(w);
  connect(m_run, &QPushButton::clicked, this, &MethodsWindow::Run);
  connect(m_cancel_button, &QPushButton::clicked, this, &MethodsWindow::Cancel);
  connect(m_save_chart, &QPushButton::clicked, this, &MethodsWindow::SaveChart);
  for (QLineEdit* edit : {m_x1_edit, m_steps_edit}) connect(edit, &QLineEdit::returnPressed, this, &MethodsWindow::Run);
  return row;
}

// The methods known now, the window's seven checked, then the shipped
// tableaux not added yet.
QWidget* MethodsWindow::BuildMethods() {
  m_methods = new QListWidget(this);
  m_methods->setObjectName(QStringLiteral("MethodsList"));
  m_methods->setAccessibleName(QStringLiteral("Methods for the chart"));
  for (const Method method : KnownMethods()) ListMethod(method, static_cast<std::size_t>(method) < kWindowMethodCount);
  for (const ShippedTableau& shipped : ShippedTableaux()) {
    if (KnownMethod(shipped.id)) continue;
    const Outcome<TypedTableau> typed = ReadTableau(shipped.text);
    auto* item = new QListWidgetItem(
        typed.ok() && !typed.value().name.empty() ? QString::fromStdString(typed.value().name) : FromUtf8(shipped.id),
        m_methods);
    item->setData(kShippedRole, FromUtf8(shipped.id));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  connect(m_methods, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item, QListWidgetItem*) { ShowTableau(item); });
  m_methods->setMinimumWidth(m_methods->fontMetrics().horizontalAdvance(QStringLiteral("Runge-Kutta-Fehlberg")) + 48);
  m_methods->setMinimumHeight(m_methods->fontMetrics().lineSpacing() * 6);
  return m_methods;
}

void MethodsWindow::ListMethod(Method method, bool checked) {
  const MethodInfo& info = Info(method);
  // A method added again under its id takes the place of the one before.
  for (int row = 0; row < m_methods->count(); ++row) {
    QListWidgetItem* item = m_methods->item(row);
    const QString id = item->data(kShippedRole).toString();
    const bool same = item->data(kMethodRole).isValid()
                          ? Info(Method{static_cast<std::uint8_t>(item->data(kMethodRole).toInt())}).id == info.id
                          : id == FromUtf8(info.id);
    if (same) delete m_methods->takeItem(row--);
  }
  auto* item = new QListWidgetItem(FromUtf8(info.caption), m_methods);
  item->setData(kMethodRole, static_cast<int>(method));
  item->setToolTip(FromUtf8(info.result_name) + QStringLiteral(" (") + FromUtf8(info.id) + QStringLiteral(")"));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QWidget* MethodsWindow::BuildEditor() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  m_tableau = new QPlainTextEdit(box);
  m_tableau->setObjectName(QStringLiteral("TableauEdit"));
  m_tableau->setAccessibleName(QStringLiteral("Butcher tableau"));
  m_tableau->setFont(Fixed(m_tableau->font()));
  m_tableau->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_tableau->setPlaceholderText(QStringLiteral("# My method\n0   |\n1/2 | 1/2\n----+---------\n    | 0    1"));
  layout->addWidget(m_tableau, 3);
  auto* buttons = new QHBoxLayout;
  auto* check = NamedButton(box, "Check", "TableauCheck");
  m_id_edit = new QLineEdit(QStringLiteral("mine"), box);
  m_id_edit->setObjectName(QStringLiteral("TableauId"));
  m_id_edit->setAccessibleName(QStringLiteral("The new method's id"));
  auto* add = NamedButton(box, "Add as method", "TableauAdd");
  buttons->addWidget(check);
  buttons->addWidget(new QLabel(QStringLiteral("id:"), box));
  buttons->addWidget(m_id_edit, 1);
  buttons->addWidget(add);
  layout->addLayout(buttons);
  m_analysis = new QPlainTextEdit(box);
  m_analysis->setObjectName(QStringLiteral("TableauAnalysis"));
  m_analysis->setAccessibleName(QStringLiteral("What the check found"));
  m_analysis->setReadOnly(true);
  layout->addWidget(m_analysis, 2);
  connect(check, &QPushButton::clicked, this, &MethodsWindow::Check);
  connect(add, &QPushButton::clicked, this, &MethodsWindow::AddMethod);
  return box;
}

QWidget* MethodsWindow::BuildResults() {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  m_chart = new ChartView(box);
  m_chart->setObjectName(QStringLiteral("StabilityChart"));
  m_chart->setAccessibleName(QStringLiteral("Stability regions and h·λ"));
  layout->addWidget(m_chart, 1);
  m_report = new QLabel(box);
  m_report->setObjectName(QStringLiteral("StabilityReport"));
  m_report->setFont(Fixed(m_report->font()));
  m_report->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_report->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* area = new QScrollArea(box);
  area->setWidget(m_report);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setFixedHeight(fontMetrics().lineSpacing() * 7);
  layout->addWidget(area);
  return box;
}

// The chosen method's tableau in the editor, and its analysis.
void MethodsWindow::ShowTableau(QListWidgetItem* item) {
  if (item == nullptr) return;
  std::string text;
  if (item->data(kMethodRole).isValid()) {
    text = MethodTableauText(Method{static_cast<std::uint8_t>(item->data(kMethodRole).toInt())});
  } else {
    const QString id = item->data(kShippedRole).toString();
    for (const ShippedTableau& shipped : ShippedTableaux())
      if (FromUtf8(shipped.id) == id) text = shipped.text;
    m_id_edit->setText(id);
  }
  m_tableau->setPlainText(QString::fromStdString(text));
  Check();
}

void MethodsWindow::Check() {
  const Outcome<TypedTableau> typed = ReadTableau(m_tableau->toPlainText().toStdString());
  if (!typed.ok()) {
    m_analysis->setPlainText(QStringLiteral("The tableau does not read: ") +
                             QString::fromStdString(typed.failure().text));
    return;
  }
  QStringList lines;
  for (const std::string& line : AnalysisLines(typed.value(), AnalyseTableau(typed.value())))
    lines << QString::fromStdString(line);
  m_analysis->setPlainText(lines.join(QLatin1Char('\n')));
}

// The editor's tableau as a method under the id given, checked in the list;
// the study and comparison windows opened after this list it too.
void MethodsWindow::AddMethod() {
  const Outcome<Method> added =
      AddTableauMethod(m_id_edit->text().trimmed().toStdString(), m_tableau->toPlainText().toStdString());
  if (!added.ok()) {
    m_analysis->setPlainText(QString::fromStdString(added.failure().text));
    m_report_error(QString::fromStdString(added.failure().text));
    return;
  }
  ListMethod(added.value(), true);
  Check();
}

void MethodsWindow::SetRunning(bool running) {
  m_run->setEnabled(!running);
  m_cancel_button->setEnabled(running);
  m_progress->setVisible(running);
  m_save_chart->setEnabled(!running && m_study != nullptr);
}

void MethodsWindow::Run() {
  if (running()) return;
  std::string methods;
  for (int row = 0; row < m_methods->count(); ++row) {
    const QListWidgetItem* item = m_methods->item(row);
    if (item->checkState() != Qt::Checked) continue;
    const std::string id =
        item->data(kMethodRole).isValid()
            ? std::string(Info(Method{static_cast<std::uint8_t>(item->data(kMethodRole).toInt())}).id)
            : item->data(kShippedRole).toString().toStdString();
    methods.append(methods.empty() ? "" : ",").append(id);
  }
  const Outcome<ComparisonRequest> request = ReadComparisonRequest(
      m_problem, {m_x1_edit->text().toStdString(), m_steps_edit->text().toStdString(), methods, "", "", ""});
  if (!request.ok()) {
    m_report_error(Report(request.failure()));
    return;
  }
  m_cancel = false;
  m_progress->setRange(0, 0);
  SetRunning(true);
  auto work = [this, request = request.value()] {
    auto outcome = std::make_shared<Outcome<StabilityStudy>>(RunStability(request, &m_cancel));
    QMetaObject::invokeMethod(
        this, [this, outcome] { Finish(outcome); }, Qt::QueuedConnection);
  };
  try {
    m_thread = std::thread(work);
  } catch (const std::system_error&) {
    Finish(std::make_shared<Outcome<StabilityStudy>>(RunStability(request.value(), &m_cancel)));
  }
}

void MethodsWindow::Finish(const std::shared_ptr<Outcome<StabilityStudy>>& outcome) {
  if (m_thread.joinable()) m_thread.join();
  SetRunning(false);
  m_progress->reset();
  if (!outcome->ok()) {
    m_report_error(Report(outcome->failure()));
  } else if (!m_cancel) {
    m_study = std::make_shared<const StabilityStudy>(std::move(outcome->value()));
    m_report->setText(QString::fromStdString(StabilityReport(*m_study, ReportFormat::Text)));
    m_chart->Show(
        [study = m_study](ChartSize size, const TextWidth& measure) { return StabilityChart(*study, size, measure); });
    SetRunning(false);
  }
  emit Ended();
}

void MethodsWindow::Cancel() { m_cancel = true; }

void MethodsWindow::Stop() {
  m_cancel = true;
  if (m_thread.joinable()) m_thread.join();
}

void MethodsWindow::closeEvent(QCloseEvent* event) {
  Stop();
  QWidget::closeEvent(event);
}

void MethodsWindow::SaveChart() {
  if (!m_study) return;
  const QString path =
      m_choose_file(QStringLiteral("Save chart as"), QStringLiteral("SVG drawing (*.svg);;PNG image (*.png)"),
                    QStringLiteral("stability.svg"));
  if (path.isEmpty()) return;
  const PictureType type = PictureTypeOf(path);
  if (type == PictureType::None) {
    m_report_error(UnknownPictureType(path));
    return;
  }
  const Chart chart = StabilityChart(*m_study, {900, 600}, PainterTextWidth(kChartFont));
  const QString title = QString::fromLatin1(kStabilityChartTitle);
  const QByteArray bytes = type == PictureType::Svg ? ChartSvg(chart, title) : ChartPng(chart, devicePixelRatioF());
  if (const std::optional<Failure> failure =
          SaveBytes(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
    m_report_error(Report(*failure));
}

}  // namespace kavrin
