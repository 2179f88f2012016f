#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <string_view>

#include "core/number_text.h"
#include "plot/graphic.h"
#include "plot/svg_surface.h"
#include "ui/about_window.h"
#include "ui/comparison_window.h"
#include "ui/methods_window.h"
#include "ui/picture_box.h"
#include "ui/saving.h"
#include "ui/study_window.h"
#include "ui/system_dialog.h"

namespace kavrin {
namespace {

// The light grey of the disabled boxes, and the text colour that stays
// readable on it under any colour scheme.
const QColor kBoxGrey(224, 224, 224);
const QColor kBoxText(0, 0, 0);

QLineEdit* TextBox(TwipLayout& layout, QWidget* parent, const char* name, const QString& text, int left, int top,
                   int width, int height, bool enabled) {
  auto* box = layout.Place(new QLineEdit(text, parent), name, left, top, width, height);
  box->setEnabled(enabled);
  if (!enabled) {
    // A fixed background carries its own text colour: dark on light grey,
    // whatever the desktop's scheme.
    QPalette palette = box->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      palette.setColor(group, QPalette::Base, kBoxGrey);
      palette.setColor(group, QPalette::Text, kBoxText);
    }
    box->setPalette(palette);
  }
  return box;
}

QLabel* Label(TwipLayout& layout, QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height) {
  return layout.Place(new QLabel(text, parent), name, left, top, width, height);
}

// Shows the wait cursor for as long as it lives, on every way out of a press.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// A control of the fixed layout: its object name and place in twips.
struct Placed {
  const char* name;
  int left, top, width, height;
};

// The start's labels and boxes, in the order x0, y1(0), y2(0).
constexpr Placed kStartCaptions[3] = {
    {"Label1", 105, 600, 375, 255}, {"Label4", 960, 360, 615, 255}, {"Label6", 960, 840, 615, 255}};
constexpr Placed kStartBoxes[3] = {
    {"Text_x0", 480, 600, 375, 285}, {"Text_y10", 1560, 360, 615, 285}, {"Text_y20", 1560, 840, 615, 285}};

// The seven method buttons, for the first seven rows of the method table in
// its order; the caption comes from the table.
constexpr Placed kMethodButtons[7] = {
    {"Option_Euler", 240, 240, 735, 255},    {"Option_EulerEP", 240, 600, 1575, 255},
    {"Option_EulerMP", 240, 960, 1575, 255}, {"Option_RK4", 240, 1320, 1455, 255},
    {"Option_RKF", 210, 1680, 1935, 255},    {"Option_RKM", 240, 2040, 1815, 255},
    {"Option_RK4G", 210, 2415, 1590, 225},
};
static_assert(kMethodCount >= 7, "the window's seven buttons name the first seven methods");

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

MainWindow::MainWindow(Calculation::MemoryProbe available_memory, QWidget* parent)
    : QMainWindow(parent), m_session(std::move(available_memory)) {
  setObjectName(QStringLiteral("Form1"));
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_report_warning = [this](const QString& message) { ShowWarning(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);
  BuildControls(client);
  client->setFixedSize(m_layout.Px(12645), m_layout.Px(5460));
  BuildMenus();
  DescribeControls();
  ShowProblem();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  m_calculate_button->setFocus();
  connect(m_calculate_button, &QPushButton::clicked, this, &MainWindow::Calculate);
}

MainWindow::~MainWindow() { delete m_about; }

void MainWindow::BuildControls(QWidget* client) {
  TwipLayout& L = m_layout;
  // The start, shown and read but not editable.
  auto* initial = L.Place(new QGroupBox(QString::fromUtf8(kStartGroupCaption), client), "Frame1", 120, 120, 2415, 1245);
  for (std::size_t i = 0; i < 3; ++i) {
    const Placed& c = kStartCaptions[i];
    const Placed& b = kStartBoxes[i];
    Label(L, initial, c.name, QString::fromLatin1(kStartLabels[i].caption), c.left, c.top, c.width, c.height);
    m_start_edits[i] = TextBox(L, initial, b.name, QString(), b.left, b.top, b.width, b.height, false);
  }
  auto* target = L.Place(new QGroupBox(QStringLiteral("Target point"), client), "Frame4", 2880, 360, 1455, 855);
  Label(L, target, "Label2", QStringLiteral("x1 ="), 120, 360, 375, 255);
  m_x1_edit = TextBox(L, target, "Text_x1", QString::fromLatin1(kDefaultX1), 555, 360, 615, 285, true);
  auto* step = L.Place(new QGroupBox(QStringLiteral("Step size"), client), "Frame3", 4680, 360, 2535, 855);
  Label(L, step, "Label5", QStringLiteral("N ="), 120, 360, 375, 255);
  m_steps_edit = TextBox(L, step, "Text_N", QString::fromLatin1(kDefaultN), 480, 360, 615, 285, true);
  Label(L, step, "Label3", QStringLiteral("h ="), 1200, 360, 255, 255);
  m_step_size_edit = TextBox(L, step, "Text_h", QString(), 1560, 360, 855, 285, false);
  m_calculate_button = L.Place(new QPushButton(QStringLiteral("CALCULATE"), client), "Command1", 120, 1440, 2235, 690);
  m_calculate_button->setAutoDefault(true);  // Enter as well as Space presses it when it has the focus
  // The seven method buttons form one group through their common frame.
  auto* methods = L.Place(new QGroupBox(client), "Frame2", 120, 2280, 2235, 2850);
  for (std::size_t i = 0; i < m_method_buttons.size(); ++i) {
    const Placed& b = kMethodButtons[i];
    m_method_buttons[i] =
        L.Place(new QRadioButton(FromUtf8(kMethods[i].caption), methods), b.name, b.left, b.top, b.width, b.height);
  }
  m_method_buttons[0]->setChecked(true);
  m_picture = L.Place(new PictureBox(client), "Picture1", 2400, 1440, 4815, 3735);
  m_picture->setFocusPolicy(Qt::TabFocus);
  m_results = L.Place(new QListWidget(client), "List1", 7350, 105, 5100, 5130);
  m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // The list is as wide as the result line of an ordinary calculation with
  // the longest method name, beside a vertical scroll bar.
  std::string_view longest;
  for (const MethodInfo& info : kMethods)
    if (info.result_name.size() > longest.size()) longest = info.result_name;
  const QString sample = QString::fromStdString(ResultLine(2, 2.5, -1.5, longest, "."));
  L.Require(5100, 0,
            m_results->fontMetrics().horizontalAdvance(sample) + 2 * m_results->frameWidth() +
                m_results->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_results) + 12,
            0);
  L.Apply();
}

void MainWindow::BuildMenus() {
  // "About" is the first entry and acts at once; "Results" follows with the
  // standard shortcuts for copying and saving, the only shortcuts there are.
  menuBar()->setNativeMenuBar(false);
  m_about_action = menuBar()->addAction(QStringLiteral("About"));
  m_about_action->setObjectName(QStringLiteral("Mn_About"));
  connect(m_about_action, &QAction::triggered, this, &MainWindow::ShowAbout);
  QMenu* results = menuBar()->addMenu(QStringLiteral("Results"));
  results->setObjectName(QStringLiteral("Mn_Results"));
  struct Entry {
    const char* name;
    const char* caption;
    QKeySequence::StandardKey key;
    void (MainWindow::*slot)();
  };
  const Entry entries[] = {
      {"Mn_Copy", "Copy", QKeySequence::Copy, &MainWindow::CopyResults},
      {"Mn_SaveCsv", "Save as CSV\u2026", QKeySequence::Save, &MainWindow::SaveResults},
      {"Mn_SavePicture", "Save picture as\u2026", QKeySequence::UnknownKey, &MainWindow::SavePicture},
  };
  for (const Entry& e : entries) {
    QAction* action = results->addAction(QString::fromUtf8(e.caption));
    action->setObjectName(QString::fromLatin1(e.name));
    if (e.key != QKeySequence::UnknownKey) action->setShortcut(e.key);
    connect(action, &QAction::triggered, this, e.slot);
  }
  QAction* study = results->addAction(QStringLiteral("Convergence study\u2026"));
  study->setObjectName(QStringLiteral("Mn_Study"));
  connect(study, &QAction::triggered, this, [this] { OpenStudy(); });
  QAction* compare = results->addAction(QStringLiteral("Compare methods\u2026"));
  compare->setObjectName(QStringLiteral("Mn_Compare"));
  connect(compare, &QAction::triggered, this, [this] { OpenComparison(); });
  QAction* methods = results->addAction(QStringLiteral("Methods and stability\u2026"));
  methods->setObjectName(QStringLiteral("Mn_Methods"));
  connect(methods, &QAction::triggered, this, [this] { OpenMethods(); });
  // "System", third, acts at once: it opens its dialog.
  QAction* system = menuBar()->addAction(QStringLiteral("System"));
  system->setObjectName(QStringLiteral("Mn_System"));
  connect(system, &QAction::triggered, this, [this] { ChooseSystem(); });
}

// What a screen reader says of the controls, and the keyboard focus order;
// their object names stay.
void MainWindow::DescribeControls() {
  for (std::size_t i = 0; i < 3; ++i) {
    m_start_edits[i]->setAccessibleName(QString::fromLatin1(kStartLabels[i].accessible));
    m_start_edits[i]->setAccessibleDescription(QStringLiteral("The initial conditions are fixed"));
  }
  const std::pair<QWidget*, const char*> names[] = {
      {m_x1_edit, "Target point x1"},
      {m_steps_edit, "Number of steps N"},
      {m_step_size_edit, "Step size h"},
      {m_calculate_button, "CALCULATE"},
      {m_results, "Results"},
      {m_picture, "Plot of the latest calculation"},
  };
  for (const auto& [widget, name] : names) widget->setAccessibleName(QString::fromLatin1(name));
  m_calculate_button->setAccessibleDescription(
      QStringLiteral("Computes h = (x1 - x0)/N and N steps of the chosen method, adds a line to the results and "
                     "plots the solution"));
  m_results->setAccessibleDescription(
      QStringLiteral("One line per calculation: x, y1 and y2 at the last step and the method, then a blank line"));
  m_picture->setAccessibleDescription(
      QStringLiteral("y1 in red and y2 in blue against x, over a light grey grid of spacing 0.1"));
  const auto& b = m_method_buttons;
  QWidget* const order[] = {m_calculate_button,
                            m_start_edits[0],
                            m_picture,
                            m_start_edits[1],
                            b[0],
                            b[1],
                            b[2],
                            b[3],
                            b[4],
                            b[5],
                            m_results,
                            b[6],
                            m_step_size_edit,
                            m_x1_edit,
                            m_steps_edit,
                            m_start_edits[2]};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

AboutWindow* MainWindow::about_window() const { return m_about.data(); }

Method MainWindow::SelectedMethod() const {
  Method method = Method::Euler;
  for (std::size_t i = 0; i < m_method_buttons.size(); ++i)
    if (m_method_buttons[i]->isChecked()) method = kMethods[i].method;
  return method;
}

void MainWindow::ShowProblem() {
  const Problem& problem = *m_session.problem();
  const std::string* texts[3] = {&problem.texts.x0, &problem.texts.y10, &problem.texts.y20};
  for (std::size_t i = 0; i < 3; ++i) {
    m_start_edits[i]->setText(QString::fromStdString(*texts[i]));
    m_start_edits[i]->setCursorPosition(0);
    m_start_edits[i]->setToolTip(problem.built_in() ? QString() : QString::fromStdString(*texts[i]));
  }
  setWindowTitle(QString::fromStdString(problem.WindowTitle()));
}

void MainWindow::ShowPress(const PressResult& press) {
  m_step_size_edit->setText(QString::fromStdString(press.step_text));
  const QString separator = QLocale::system().decimalPoint();
  const std::vector<ResultRecord>& records = m_session.results();
  for (const std::string& line : press.lines) {
    auto* item = new QListWidgetItem(QString::fromStdString(line), m_results);
    // A result line tells where it came from.
    if (&line == &press.lines.front() && !records.empty()) {
      const ResultRecord& r = records.back();
      QString h = QString::fromStdString(PlainRoundTripText(r.h));
      h.replace(QLatin1Char('.'), separator);
      QString tip = QStringLiteral("N = %1, h = %2, %3")
                        .arg(QString::fromStdString(r.N_text), h, FromUtf8(Info(r.method).result_name));
      if (!r.warning.empty()) tip += QStringLiteral("\n") + QString::fromStdString(r.warning);
      item->setToolTip(tip);
    }
  }
  if (m_results->count() > 0) m_results->scrollToBottom();
}

void MainWindow::Calculate() {
  PressRequest request;
  request.x1 = m_x1_edit->text().toStdString();
  request.N = m_steps_edit->text().toStdString();
  request.method = SelectedMethod();
  request.decimal_separator = QLocale::system().decimalPoint().toStdString();
  request.shown_start = {m_start_edits[0]->text().toStdString(), m_start_edits[1]->text().toStdString(),
                         m_start_edits[2]->text().toStdString()};
  // The calculation, then the plot; a failure in either ends the press, and
  // whatever was done before it stays on show.
  PressResult press;
  std::optional<Failure> failure;
  {
    const BusyCursor busy;
    press = m_session.Press(request);
    ShowPress(press);
    failure = press.failure;
    if (!failure) {
      failure = DrawPicture(m_session.calculation(), *m_picture);
      m_picture_drawn = !failure;
      m_picture_tables = m_session.calculation().tables_generation();
    }
    m_picture->update();
  }
  if (failure) m_report_error(Report(*failure));
  // The line is on show; then the warning that it approximates nothing, as
  // a sentence of its own.
  if (!press.warning.empty()) {
    QString warning = QString::fromStdString(press.warning);
    warning[0] = warning[0].toUpper();
    m_report_warning(warning);
  }
}

void MainWindow::ShowAbout() {
  if (!m_about) {
    m_about = new AboutWindow(m_layout.scale());
    m_about->setAttribute(Qt::WA_DeleteOnClose);
  }
  m_about->show();
  m_about->raise();
  m_about->activateWindow();
}

void MainWindow::CopyResults() {
  QList<QListWidgetItem*> items = m_results->selectedItems();
  if (items.isEmpty()) {
    for (int i = 0; i < m_results->count(); ++i) items << m_results->item(i);
  } else {
    std::sort(items.begin(), items.end(),
              [this](QListWidgetItem* a, QListWidgetItem* b) { return m_results->row(a) < m_results->row(b); });
  }
  QStringList lines;
  for (const QListWidgetItem* item : items) lines << item->text();
  QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void MainWindow::SaveResults() {
  const QString path = m_choose_file(QStringLiteral("Save the results as CSV"), QStringLiteral("CSV table (*.csv)"),
                                     QStringLiteral("results.csv"));
  if (path.isEmpty()) return;
  if (const std::optional<Failure> failure = SaveBytes(path, m_session.ResultsCsv())) m_report_error(Report(*failure));
}

std::string MainWindow::PictureSvg(const QString& path) {
  // Drawn anew from the tables, which must still be the picture's own.
  if (!m_picture_drawn || m_picture_tables != m_session.calculation().tables_generation()) {
    m_report_error(QStringLiteral("cannot write %1: the values of the picture on show were replaced by a later "
                                  "calculation that failed; save it as PNG, or press CALCULATE again.")
                       .arg(path));
    return {};
  }
  const QSize size = m_picture->contentsRect().size();
  SvgSurface svg(size.width(), size.height(), kPaleYellow, kAxisBlack);
  if (const std::optional<Failure> failure = DrawPicture(m_session.calculation(), svg)) {
    m_report_error(Report(*failure));
    return {};
  }
  return svg.Document();
}

void MainWindow::SavePicture() {
  const QString path =
      m_choose_file(QStringLiteral("Save the picture as"), QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"),
                    QStringLiteral("picture.png"));
  if (path.isEmpty()) return;
  const PictureType type = PictureTypeOf(path);
  if (type == PictureType::None) {
    m_report_error(UnknownPictureType(path));
    return;
  }
  std::string bytes;
  if (type == PictureType::Svg) {
    bytes = PictureSvg(path);
    if (bytes.empty()) return;
  } else {
    // The picture as it stands, at the screen's pixel ratio.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    m_picture->image().save(&buffer, "PNG");
    bytes.assign(png.constData(), static_cast<std::size_t>(png.size()));
  }
  if (const std::optional<Failure> failure = SaveBytes(path, bytes)) m_report_error(Report(*failure));
}

SystemDialog* MainWindow::ChooseSystem() {
  auto* dialog = new SystemDialog(m_session, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this] { ShowProblem(); });
  dialog->open();
  return dialog;
}

StudyWindow* MainWindow::OpenStudy() {
  auto* study = new StudyWindow(m_x1_edit->text(), m_session.problem(), static_cast<int>(m_studies.size()) + 1);
  m_studies.emplace_back(study);
  study->show();
  return study;
}

ComparisonWindow* MainWindow::OpenComparison() {
  auto* window = new ComparisonWindow(m_x1_edit->text(), m_steps_edit->text(), m_session.problem(),
                                      static_cast<int>(m_comparisons.size()) + 1);
  m_comparisons.emplace_back(window);
  window->show();
  return window;
}

MethodsWindow* MainWindow::OpenMethods() {
  auto* window = new MethodsWindow(m_x1_edit->text(), m_steps_edit->text(), m_session.problem(),
                                   static_cast<int>(m_methods_windows.size()) + 1);
  m_methods_windows.emplace_back(window);
  window->show();
  return window;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_about) m_about->close();
  for (const QPointer<StudyWindow>& study : m_studies)
    if (study) study->close();
  for (const QPointer<ComparisonWindow>& window : m_comparisons)
    if (window) window->close();
  for (const QPointer<MethodsWindow>& window : m_methods_windows)
    if (window) window->close();
  QMainWindow::closeEvent(event);
}

}  // namespace kavrin
