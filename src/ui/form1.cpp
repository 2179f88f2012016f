#include "ui/form1.h"

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
#include "ui/form_about.h"
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

// The seven method buttons: what each selects, its name, caption and place.
struct OptionButton {
  Method method;
  const char* name;
  const char* caption;
  int left, top, width, height;
};
constexpr OptionButton kOptionButtons[kMethodCount] = {
    {Method::Euler, "Option_Euler", "Euler", 240, 240, 735, 255},
    {Method::EulerEP, "Option_EulerEP", "Euler (End points)", 240, 600, 1575, 255},
    {Method::EulerMP, "Option_EulerMP", "Euler (Mid point)", 240, 960, 1575, 255},
    {Method::RK4, "Option_RK4", "Runge-Kutta 4", 240, 1320, 1455, 255},
    {Method::RKF, "Option_RKF", "Runge-Kutta-Fehlberg", 210, 1680, 1935, 255},
    {Method::RKM, "Option_RKM", "Runge-Kutta-Merson", 240, 2040, 1815, 255},
    {Method::RK4G, "Option_RK4G", "Runge-Kutta-Gill", 210, 2415, 1590, 225},
};

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

Form1::Form1(QWidget* parent) : Form1(AvailableMemory, parent) {}

Form1::Form1(Calculation::MemoryProbe available_memory, QWidget* parent)
    : QMainWindow(parent), m_calculation(std::move(available_memory)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kavrin - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations"));
  m_reportError = [this](const QString& message) {
    // "N = -1" stays on one line: the box wraps between words only.
    QString text = message;
    text.replace(QStringLiteral(" = "), QStringLiteral("\u00a0=\u00a0"));
    QMessageBox::critical(this, QStringLiteral("Kavrin"), text);
  };

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);
  TwipLayout& L = m_layout;

  Frame1 = L.Place(new QGroupBox(QStringLiteral("İnitial conditions"), client), "Frame1", 120, 120, 2415, 1245);
  Label1 = Label(L, Frame1, "Label1", QStringLiteral("x0 ="), 105, 600, 375, 255);
  Text_x0 = TextBox(L, Frame1, "Text_x0", QStringLiteral("0"), 480, 600, 375, 285, false);
  Label4 = Label(L, Frame1, "Label4", QStringLiteral("y1(0) ="), 960, 360, 615, 255);
  Text_y10 = TextBox(L, Frame1, "Text_y10", QStringLiteral("1"), 1560, 360, 615, 285, false);
  Label6 = Label(L, Frame1, "Label6", QStringLiteral("y2(0) ="), 960, 840, 615, 255);
  Text_y20 = TextBox(L, Frame1, "Text_y20", QStringLiteral("-1"), 1560, 840, 615, 285, false);

  Frame4 = L.Place(new QGroupBox(QStringLiteral("Target point"), client), "Frame4", 2880, 360, 1455, 855);
  Label2 = Label(L, Frame4, "Label2", QStringLiteral("x1 ="), 120, 360, 375, 255);
  Text_x1 = TextBox(L, Frame4, "Text_x1", QStringLiteral("0.1"), 555, 360, 615, 285, true);

  Frame3 = L.Place(new QGroupBox(QStringLiteral("Step size"), client), "Frame3", 4680, 360, 2535, 855);
  Label5 = Label(L, Frame3, "Label5", QStringLiteral("N ="), 120, 360, 375, 255);
  Text_N = TextBox(L, Frame3, "Text_N", QStringLiteral("1"), 480, 360, 615, 285, true);
  Label3 = Label(L, Frame3, "Label3", QStringLiteral("h ="), 1200, 360, 255, 255);
  Text_h = TextBox(L, Frame3, "Text_h", QString(), 1560, 360, 855, 285, false);

  Command1 = L.Place(new QPushButton(QStringLiteral("CALCULATE"), client), "Command1", 120, 1440, 2235, 690);
  Command1->setAutoDefault(true);  // Enter as well as Space presses it when it has the focus

  // The seven method buttons form one group through their common frame.
  Frame2 = L.Place(new QGroupBox(client), "Frame2", 120, 2280, 2235, 2850);
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    const OptionButton& b = kOptionButtons[i];
    Options[i] =
        L.Place(new QRadioButton(QString::fromLatin1(b.caption), Frame2), b.name, b.left, b.top, b.width, b.height);
  }
  Options[0]->setChecked(true);

  Picture1 = L.Place(new PictureBox(client), "Picture1", 2400, 1440, 4815, 3735);
  Picture1->setFocusPolicy(Qt::TabFocus);
  List1 = L.Place(new QListWidget(client), "List1", 7350, 105, 5100, 5130);

  // The list is as wide as the result line of an ordinary calculation with
  // the longest method name, beside a vertical scroll bar.
  std::string_view longest;
  for (const MethodInfo& info : MethodTable())
    if (info.result_name.size() > longest.size()) longest = info.result_name;
  const QString sample = QString::fromStdString(ResultLine(2, 2.5, -1.5, longest, "."));
  L.Require(5100, 0,
            List1->fontMetrics().horizontalAdvance(sample) + 2 * List1->frameWidth() +
                List1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, List1) + 12,
            0);
  L.Apply();
  client->setFixedSize(L.Px(12645), L.Px(5460));

  // Keyboard focus order: the controls that can take the focus, in tab order.
  QWidget* const order[] = {Command1,   Text_x0,    Picture1,   Text_y10,   Options[0], Options[1],
                            Options[2], Options[3], Options[4], Options[5], List1,      Options[6],
                            Text_h,     Text_x1,    Text_N,     Text_y20};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  // The one menu entry acts at once.
  menuBar()->setNativeMenuBar(false);
  Mn_About = menuBar()->addAction(QStringLiteral("About"));
  Mn_About->setObjectName(QStringLiteral("Mn_About"));

  layout()->setSizeConstraint(QLayout::SetFixedSize);
  Command1->setFocus();

  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Mn_About, &QAction::triggered, this, &Form1::Mn_About_Click);
}

Form1::~Form1() { delete m_about; }

Form_About* Form1::aboutWindow() const { return m_about.data(); }

Method Form1::SelectedMethod() const {
  Method method = Method::Euler;
  for (std::size_t i = 0; i < kMethodCount; ++i)
    if (Options[i]->isChecked()) method = kOptionButtons[i].method;
  return method;
}

void Form1::ShowCalculation() {
  Text_h->setText(QString::fromStdString(m_calculation.step_text()));
  const auto& lines = m_calculation.lines();
  for (auto i = static_cast<std::size_t>(List1->count()); i < lines.size(); ++i)
    List1->addItem(QString::fromStdString(lines[i]));
  if (List1->count() > 0) List1->scrollToBottom();
}

void Form1::Command1_Click() {
  const InputTexts texts{Text_x0->text().toStdString(), Text_y10->text().toStdString(), Text_y20->text().toStdString(),
                         Text_x1->text().toStdString(), Text_N->text().toStdString()};
  const std::string separator = QLocale::system().decimalPoint().toStdString();

  // The calculation, then the plot; a failure in either ends the press, and
  // whatever was done before it stays on show.
  QString failure;
  {
    const BusyCursor busy;
    CommandVariables v;
    failure = Reported([&] { v = m_calculation.Calculate(texts, SelectedMethod(), separator); });
    ShowCalculation();
    if (failure.isEmpty())
      failure = Reported([&] { Graphic(m_calculation.N(), m_calculation.tables(), v.x0, v.x1, *Picture1); });
    Picture1->update();
  }
  if (!failure.isEmpty()) m_reportError(failure);
}

void Form1::Mn_About_Click() {
  if (!m_about) {
    m_about = new Form_About(m_layout.scale());
    m_about->setAttribute(Qt::WA_DeleteOnClose);
  }
  m_about->show();
  m_about->raise();
  m_about->activateWindow();
}

void Form1::closeEvent(QCloseEvent* event) {
  if (m_about) m_about->close();
  QMainWindow::closeEvent(event);
}

}  // namespace kavrin
