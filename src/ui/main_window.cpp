#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
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
#include "ui/about_window.h"
#include "ui/picture_box.h"
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
  setWindowTitle(QStringLiteral("Kavrin - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations"));
  m_report_error = [this](const QString& message) {
    // "N = -1" stays on one line: the box wraps between words only.
    QString text = message;
    text.replace(QStringLiteral(" = "), QStringLiteral("\u00a0=\u00a0"));
    QMessageBox::critical(this, QStringLiteral("Kavrin"), text);
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

  // The one menu entry acts at once.
  menuBar()->setNativeMenuBar(false);
  m_about_action = menuBar()->addAction(QStringLiteral("About"));
  m_about_action->setObjectName(QStringLiteral("Mn_About"));

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
  for (auto i = static_cast<std::size_t>(m_results->count()); i < lines.size(); ++i)
    m_results->addItem(QString::fromStdString(lines[i]));
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
    failure = Reported([&] { m_calculation.Calculate(texts, SelectedMethod(), separator); });
    ShowCalculation();
    if (failure.isEmpty())
      failure = Reported([&] { Graphic(m_calculation.N(), m_calculation.tables(), m_calculation.x1(), *m_picture); });
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

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_about) m_about->close();
  QMainWindow::closeEvent(event);
}

}  // namespace kavrin
