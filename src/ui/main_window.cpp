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
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <exception>
#include <new>
#include <string_view>

#include "core/number_text.h"
#include "ode/failure.h"
#include "platform/memory.h"
#include "plot/graphic.h"
#include "plot/svg_surface.h"
#include "ui/about_window.h"
#include "ui/picture_box.h"
#include "ui/saving.h"
#include "ui/study_window.h"
#include "ui/system_dialog.h"

#include "ui/twip_layout.h"

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

constexpr char kTitle[] = "Kavrin - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations";

// The seven method buttons in the order of the method table: each one's
// object name and place (in twips); the caption comes from the table.
struct MethodButton {
  const char* name;
  int left, top, width, height;
};
constexpr MethodButton kMethodButtons[kMethodCount] = {
    {"Option_Euler", 240, 240, 735, 255},    {"Option_EulerEP", 240, 600, 1575, 255},
    {"Option_EulerMP", 240, 960, 1575, 255}, {"Option_RK4", 240, 1320, 1455, 255},
    {"Option_RKF", 210, 1680, 1935, 255},    {"Option_RKM", 240, 2040, 1815, 255},
    {"Option_RK4G", 210, 2415, 1590, 225},
};

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Runs `work` and returns the report of its failure, or an empty text.
template <typename Work>
QString Reported(Work&& work) {
  try {
    work();
  } catch (const Failure& error) {
    return QString::fromStdString(error.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory: the calculation needed more memory than the machine could provide");
  } catch (const std::exception& error) {
    return QString::fromStdString(error.what());
  }
  return QString();
}

}  // namespace

MainWindow::MainWindow(Calculation::MemoryProbe available_memory, QWidget* parent)
    : QMainWindow(parent), m_calculation(std::move(available_memory)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kTitle));
  m_report_error = [this](const QString& message) { ShowFailure(this, message); };
  m_choose_file = [this](const QString& title, const QString& filter, const QString& name) {
    return AskForFile(this, title, filter, name);
  };

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);
  TwipLayout& L = m_layout;

  // The start, shown and read but not editable.
  const InputTexts start = BuiltInTexts({}, {});
  auto* initial = L.Place(new QGroupBox(QStringLiteral("İnitial conditions"), client), "Frame1", 120, 120, 2415, 1245);
  Label(L, initial, "Label1", QStringLiteral("x0 ="), 105, 600, 375, 255);
  m_x0_edit = TextBox(L, initial, "Text_x0", QString::fromStdString(start.x0), 480, 600, 375, 285, false);
  Label(L, initial, "Label4", QStringLiteral("y1(0) ="), 960, 360, 615, 255);
  m_y10_edit = TextBox(L, initial, "Text_y10", QString::fromStdString(start.y1_0), 1560, 360, 615, 285, false);
  Label(L, initial, "Label6", QStringLiteral("y2(0) ="), 960, 840, 615, 255);
  m_y20_edit = TextBox(L, initial, "Text_y20", QString::fromStdString(start.y2_0), 1560, 840, 615, 285, false);

  auto* target = L.Place(new QGroupBox(QStringLiteral("Target point"), client), "Frame4", 2880, 360, 1455, 855);
  Label(L, target, "Label2", QStringLiteral("x1 ="), 120, 360, 375, 255);
  m_x1_edit = TextBox(L, target, "Text_x1", QStringLiteral("0.1"), 555, 360, 615, 285, true);

  auto* step = L.Place(new QGroupBox(QStringLiteral("Step size"), client), "Frame3", 4680, 360, 2535, 855);
  Label(L, step, "Label5", QStringLiteral("N ="), 120, 360, 375, 255);
  m_steps_edit = TextBox(L, step, "Text_N", QStringLiteral("1"), 480, 360, 615, 285, true);
  Label(L, step, "Label3", QStringLiteral("h ="), 1200, 360, 255, 255);
  m_step_size_edit = TextBox(L, step, "Text_h", QString(), 1560, 360, 855, 285, false);

  m_calculate_button = L.Place(new QPushButton(QStringLiteral("CALCULATE"), client), "Command1", 120, 1440, 2235, 690);
  m_calculate_button->setAutoDefault(true);  // Enter as well as Space presses it when it has the focus

  // The seven method buttons form one group through their common frame.
  auto* methods = L.Place(new QGroupBox(client), "Frame2", 120, 2280, 2235, 2850);
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    const MethodButton& b = kMethodButtons[i];
    m_method_buttons[i] =
        L.Place(new QRadioButton(FromUtf8(kMethods[i].caption), methods), b.name, b.left, b.top, b.width, b.height);
  }
  m_method_buttons[0]->setChecked(true);

  m_picture = L.Place(new PictureBox(client), "Picture1", 2400, 1440, 4815, 3735);
  m_picture->setFocusPolicy(Qt::TabFocus);
  m_results = L.Place(new QListWidget(client), "List1", 7350, 105, 5100, 5130);

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
  client->setFixedSize(L.Px(12645), L.Px(5460));

  // Keyboard focus order: the controls that can take the focus, in tab order.
  const auto& b = m_method_buttons;
  QWidget* const order[] = {
      m_calculate_button, m_x0_edit, m_picture,        m_y10_edit, b[0],         b[1],      b[2], b[3], b[4], b[5],
      m_results,          b[6],      m_step_size_edit, m_x1_edit,  m_steps_edit, m_y20_edit};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  // "About" is the first entry and acts at once; "Results" follows with the
  // standard shortcuts for copying and saving, the only shortcuts there are.
  menuBar()->setNativeMenuBar(false);
  m_about_action = menuBar()->addAction(QStringLiteral("About"));
  m_about_action->setObjectName(QStringLiteral("Mn_About"));
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
  // "System", third, acts at once: it opens its dialog.
  QAction* system = menuBar()->addAction(QStringLiteral("System"));
  system->setObjectName(QStringLiteral("Mn_System"));
  connect(system, &QAction::triggered, this, [this] { ChooseSystem(); });
  m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);

  // What a screen reader says of the controls; their object names stay.
  const std::pair<QWidget*, const char*> names[] = {
      {m_x0_edit, "Start x0"},
      {m_y10_edit, "Initial value y1(0)"},
      {m_y20_edit, "Initial value y2(0)"},
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
  for (QLineEdit* fixed : {m_x0_edit, m_y10_edit, m_y20_edit})
    fixed->setAccessibleDescription(QStringLiteral("The initial conditions are fixed"));

  layout()->setSizeConstraint(QLayout::SetFixedSize);
  m_calculate_button->setFocus();

  connect(m_calculate_button, &QPushButton::clicked, this, &MainWindow::Calculate);
  connect(m_about_action, &QAction::triggered, this, &MainWindow::ShowAbout);
}

MainWindow::~MainWindow() { delete m_about; }

AboutWindow* MainWindow::about_window() const { return m_about.data(); }

Method MainWindow::SelectedMethod() const {
  Method method = Method::Euler;
  for (std::size_t i = 0; i < kMethodCount; ++i)
    if (m_method_buttons[i]->isChecked()) method = kMethods[i].method;
  return method;
}

void MainWindow::ShowCalculation() {
  m_step_size_edit->setText(QString::fromStdString(m_calculation.step_text()));
  const auto& lines = m_calculation.lines();
  const QString separator = QLocale::system().decimalPoint();
  for (auto i = static_cast<std::size_t>(m_results->count()); i < lines.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(lines[i]), m_results);
    // A result line tells where it came from.
    if (i % 2 == 0 && i / 2 < m_calculation.records().size()) {
      const ResultRecord& r = m_calculation.records()[i / 2];
      QString h = QString::fromStdString(ShortestText(r.h));
      h.replace(QLatin1Char('.'), separator);
      item->setToolTip(QStringLiteral("N = %1, h = %2, %3")
                           .arg(QString::fromStdString(r.N_text), h, FromUtf8(Info(r.method).result_name)));
    }
  }
  if (m_results->count() > 0) m_results->scrollToBottom();
}

void MainWindow::Calculate() {
  const InputTexts texts{m_x0_edit->text().toStdString(), m_y10_edit->text().toStdString(),
                         m_y20_edit->text().toStdString(), m_x1_edit->text().toStdString(),
                         m_steps_edit->text().toStdString()};
  const std::string separator = QLocale::system().decimalPoint().toStdString();

  // The calculation, then the plot; a failure in either ends the press, and
  // whatever was done before it stays on show.
  QString failure;
  {
    const BusyCursor busy;
    failure = Reported([&] { m_calculation.Calculate(texts, SelectedMethod(), separator, m_system.get()); });
    ShowCalculation();
    if (failure.isEmpty()) {
      failure = Reported([&] { Graphic(m_calculation.N(), m_calculation.tables(), m_calculation.x1(), *m_picture); });
      m_picture_drawn = failure.isEmpty();
      m_picture_tables = m_calculation.tables_generation();
    }
    m_picture->update();
  }
  if (!failure.isEmpty()) m_report_error(failure);
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
  const QString failure = SaveBytes(path, ResultsCsv(m_calculation.records()));
  if (!failure.isEmpty()) m_report_error(failure);
}

void MainWindow::SavePicture() {
  const QString path =
      m_choose_file(QStringLiteral("Save the picture as"), QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"),
                    QStringLiteral("picture.png"));
  if (path.isEmpty()) return;
  std::string bytes;
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    // Drawn anew from the tables, which must still be the picture's own.
    if (!m_picture_drawn || m_picture_tables != m_calculation.tables_generation()) {
      m_report_error(QStringLiteral("cannot write %1: the values of the picture on show were replaced by a later "
                                    "calculation that failed; save it as PNG, or press CALCULATE again.")
                         .arg(path));
      return;
    }
    const QSize size = m_picture->contentsRect().size();
    SvgSurface svg(size.width(), size.height(), kPaleYellow, kAxisBlack);
    const QString failure =
        Reported([&] { Graphic(m_calculation.N(), m_calculation.tables(), m_calculation.x1(), svg); });
    if (!failure.isEmpty()) {
      m_report_error(failure);
      return;
    }
    bytes = svg.Document();
  } else {
    // The picture as it stands, at the screen's pixel ratio.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    m_picture->image().save(&buffer, "PNG");
    bytes.assign(png.constData(), static_cast<std::size_t>(png.size()));
  }
  const QString failure = SaveBytes(path, bytes);
  if (!failure.isEmpty()) m_report_error(failure);
}

SystemDialog* MainWindow::ChooseSystem() {
  auto* dialog = new SystemDialog(m_system.get(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { UseSystem(dialog->chosen()); });
  dialog->open();
  return dialog;
}

void MainWindow::UseSystem(std::shared_ptr<const OwnSystem> system) {
  m_system = std::move(system);
  const SystemTexts& texts = m_system != nullptr ? m_system->texts : SystemExamples().front().texts;
  for (const auto& [edit, text] :
       {std::pair{m_x0_edit, &texts.x0}, std::pair{m_y10_edit, &texts.y10}, std::pair{m_y20_edit, &texts.y20}}) {
    edit->setText(QString::fromStdString(*text));
    edit->setCursorPosition(0);
    edit->setToolTip(m_system != nullptr ? QString::fromStdString(*text) : QString());
  }
  setWindowTitle(m_system != nullptr ? QStringLiteral("Kavrin - ") + QString::fromStdString(m_system->Title())
                                     : QString::fromLatin1(kTitle));
}

StudyWindow* MainWindow::OpenStudy() {
  auto* study = new StudyWindow(m_x1_edit->text(), m_system);

  m_studies.emplace_back(study);
  study->show();
  return study;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_about) m_about->close();
  for (const QPointer<StudyWindow>& study : m_studies)
    if (study) study->close();

  QMainWindow::closeEvent(event);
}

}  // namespace kavrin
