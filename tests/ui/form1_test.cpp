// The main window and the About window, offscreen.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "offscreen_messages.h"
#include "plot/graphic.h"
#include "ui/form1.h"
#include "ui/form_about.h"
#include "ui/picture_box.h"

using namespace kavrin;

namespace {

QColor Pixel(const PictureBox* picture, double x, double y, const ViewTransform& view) {
  const int column = static_cast<int>(std::floor(view.PixelX(x)));
  const int row = static_cast<int>(std::floor(view.PixelY(y)));
  return picture->image().pixelColor(column, row);
}

const QColor kPaleYellow(255, 255, 192);

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private:
  Form1* form = nullptr;
  QStringList reports;

  template <typename W>
  W* Get(const char* name) {
    auto* widget = form->findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr) qFatal("no widget %s", name);
    return widget;
  }
  void Press(const char* option, const QString& x1, const QString& N) {
    Get<QRadioButton>(option)->setChecked(true);
    Get<QLineEdit>("Text_x1")->setText(x1);
    Get<QLineEdit>("Text_N")->setText(N);
    Get<QPushButton>("Command1")->click();
  }
  QStringList ListLines() {
    QStringList lines;
    auto* list = Get<QListWidget>("List1");
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }
  // The view of the worked example: -0.01 to 0.11 across, 1.2 down to -1.2.
  ViewTransform WorkedExampleView() {
    const PictureBox* picture = Get<PictureBox>("Picture1");
    return ViewTransform(0 - 0.1 * 0.1, 1.2, 0.1 + 0.1 * 0.1, -1.2, picture->PixelWidth(), picture->PixelHeight());
  }

 private slots:
  void initTestCase() { InstallOffscreenFilter(); }

  void init() {
    reports.clear();
    form = new Form1;
    form->setErrorReporter([this](const QString& message) { reports << message; });
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
  }
  void cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    delete form;
    form = nullptr;
  }

  void startState() {
    QCOMPARE(form->windowTitle(),
             QStringLiteral("Kavrin - Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations"));
    QCOMPARE(form->centralWidget()->size(), QSize(843, 364));
    QCOMPARE(Get<QGroupBox>("Frame1")->title(), QStringLiteral("İnitial conditions"));
    QCOMPARE(Get<QGroupBox>("Frame2")->title(), QString());
    QCOMPARE(Get<QLineEdit>("Text_x0")->text(), QStringLiteral("0"));
    QCOMPARE(Get<QLineEdit>("Text_y10")->text(), QStringLiteral("1"));
    QCOMPARE(Get<QLineEdit>("Text_y20")->text(), QStringLiteral("-1"));
    QCOMPARE(Get<QLineEdit>("Text_x1")->text(), QStringLiteral("0.1"));
    QCOMPARE(Get<QLineEdit>("Text_N")->text(), QStringLiteral("1"));
    QCOMPARE(Get<QLineEdit>("Text_h")->text(), QString());
    for (const char* name : {"Text_x0", "Text_y10", "Text_y20", "Text_h"}) {
      auto* box = Get<QLineEdit>(name);
      QVERIFY(!box->isEnabled());
      QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Base), QColor(224, 224, 224));
      QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Text),
               box->palette().color(QPalette::Active, QPalette::Text));
    }
    QVERIFY(Get<QLineEdit>("Text_x1")->isEnabled());
    QVERIFY(Get<QRadioButton>("Option_Euler")->isChecked());
    QCOMPARE(Get<QRadioButton>("Option_EulerEP")->text(), QStringLiteral("Euler (End points)"));
    QCOMPARE(Get<QPushButton>("Command1")->text(), QStringLiteral("CALCULATE"));
    QCOMPARE(form->focusWidget(), Get<QPushButton>("Command1"));
    QCOMPARE(Get<QListWidget>("List1")->count(), 0);

    QCOMPARE(Get<QPushButton>("Command1")->geometry(), QRect(8, 96, 149, 46));
    QCOMPARE(Get<QListWidget>("List1")->geometry(), QRect(490, 7, 340, 342));
    QCOMPARE(Get<PictureBox>("Picture1")->geometry(), QRect(160, 96, 321, 249));
    QCOMPARE(Get<QRadioButton>("Option_RKF")->geometry(), QRect(14, 112, 129, 17));
    QCOMPARE(Get<QLineEdit>("Text_h")->geometry(), QRect(104, 24, 57, 19));

    // A blank picture in its background colour, and one menu entry without a submenu.
    const QImage& image = Get<PictureBox>("Picture1")->image();
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(0, 0), kPaleYellow);
    QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), kPaleYellow);
    const QList<QAction*> entries = form->menuBar()->actions();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0]->text(), QStringLiteral("About"));
    QCOMPARE(entries[0]->objectName(), QStringLiteral("Mn_About"));
    QVERIFY(entries[0]->menu() == nullptr);
  }

  void focusOrder() {
    QWidget* expected[] = {Get<QPushButton>("Command1"), Get<PictureBox>("Picture1"), Get<QRadioButton>("Option_Euler"),
                           Get<QListWidget>("List1"),    Get<QLineEdit>("Text_x1"),   Get<QLineEdit>("Text_N")};
    QWidget* widget = expected[0];
    for (QWidget* next : expected) {
      QCOMPARE(widget, next);
      // Skip what cannot take the focus: disabled boxes and the unchecked buttons of the group.
      do {
        widget = widget->nextInFocusChain();
      } while (!(widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)) ||
               (qobject_cast<QRadioButton*>(widget) && !qobject_cast<QRadioButton*>(widget)->isChecked()));
    }
  }

  void workedExample() {
    Get<QPushButton>("Command1")->setFocus();
    QTest::keyClick(Get<QPushButton>("Command1"), Qt::Key_Space);
    QVERIFY(reports.isEmpty());
    QCOMPARE(Get<QLineEdit>("Text_h")->text(), QStringLiteral("0.1"));
    QCOMPARE(ListLines(), (QStringList{"0.1000    0.90000000       -0.90000000   Euler Method", " "}));

    const PictureBox* picture = Get<PictureBox>("Picture1");
    const ViewTransform view = WorkedExampleView();
    QCOMPARE(picture->image().pixelColor(1, 1), kPaleYellow);
    QCOMPARE(Pixel(picture, 0.05, 0.95, view), QColor(255, 0, 0));      // y1
    QCOMPARE(Pixel(picture, 0.05, -0.95, view), QColor(0, 0, 255));     // y2
    QCOMPARE(Pixel(picture, 0.1, 0.5, view), QColor(230, 230, 230));    // vertical grid at 0.1
    QCOMPARE(Pixel(picture, 0.08, -0.5, view), QColor(230, 230, 230));  // horizontal grid at -0.5
    QCOMPARE(Pixel(picture, 0.08, 0.5, view), kPaleYellow);             // no grid above the x axis
    QCOMPARE(Pixel(picture, 0.0, 0.5, view), QColor(0, 0, 0));          // y axis
    QCOMPARE(Pixel(picture, 0.05, 0.0, view), QColor(0, 0, 0));         // x axis
    // What is on screen is the backing image.
    const QImage screen = Get<PictureBox>("Picture1")->grab().toImage();
    QCOMPARE(screen.pixelColor(picture->contentsRect().topLeft() + QPoint(10, 10)), kPaleYellow);
  }

  void secondPressAppendsAndReplacesThePlot() {
    Press("Option_Euler", "2", "20");
    const QImage first = Get<PictureBox>("Picture1")->image();
    Press("Option_RK4", "0.1", "1");
    QCOMPARE(ListLines().size(), 4);
    QCOMPARE(ListLines()[2], QStringLiteral("0.1000    0.91393621       -0.90921764   Runge-Kutta-4 Method"));
    QCOMPARE(ListLines()[0].right(12), QStringLiteral("Euler Method"));
    const QImage second = Get<PictureBox>("Picture1")->image();
    QVERIFY(first != second);
    // Every red pixel of the second plot lies on its own short curve, left of x = 0.11.
    const ViewTransform view = WorkedExampleView();
    const int right_edge = static_cast<int>(std::floor(view.PixelX(0.1))) + 1;
    for (int y = 0; y < second.height(); ++y)
      for (int x = right_edge + 1; x < second.width(); ++x) QVERIFY(second.pixelColor(x, y) != QColor(255, 0, 0));
  }

  void zeroStepsReportsAndChangesNothing() {
    Press("Option_Euler", "0.1", "1");
    const QImage before = Get<PictureBox>("Picture1")->image();
    Press("Option_RK4", "0.5", "0");
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Division by zero"), qPrintable(reports[0]));
    QCOMPARE(Get<QLineEdit>("Text_h")->text(), QStringLiteral("0.1"));
    QCOMPARE(ListLines().size(), 2);
    QCOMPARE(Get<PictureBox>("Picture1")->image(), before);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void marchOverflowShowsTheStepSizeButNoLine() {
    Press("Option_Euler", "0.1", "1");
    const QImage before = Get<PictureBox>("Picture1")->image();
    Press("Option_RK4", "1000", "10");
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Overflow"), qPrintable(reports[0]));
    QVERIFY2(reports[0].contains("step"), qPrintable(reports[0]));
    QCOMPARE(Get<QLineEdit>("Text_h")->text(), QStringLiteral("100"));
    QCOMPARE(ListLines().size(), 2);
    QCOMPARE(Get<PictureBox>("Picture1")->image(), before);
    // The program goes on: a normal press still works.
    Press("Option_Euler", "0.1", "1");
    QCOMPARE(ListLines().size(), 4);
  }

  void plotOverflowKeepsTheNewLine() {
    // A start value beyond single precision: the march succeeds, the plot cannot draw it.
    Get<QLineEdit>("Text_y20")->setText("1e39");
    Press("Option_Euler", "1e-30", "1");
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Overflow"), qPrintable(reports[0]));
    QCOMPARE(ListLines().size(), 2);
    QVERIFY(ListLines()[0].endsWith("Euler Method"));
  }

  void aboutWindowIsModelessAndSingle() {
    QVERIFY(form->aboutWindow() == nullptr);
    QAction* about = form->menuBar()->actions().at(0);
    about->trigger();
    QPointer<Form_About> first = form->aboutWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->windowModality(), Qt::NonModal);
    QVERIFY(first->parentWidget() == nullptr);
    QCOMPARE(first->windowTitle(), QStringLiteral("About"));
    QCOMPARE(first->size(), QSize(240, 202));
    auto* description = first->findChild<QLabel*>("Label2");
    QVERIFY(description->wordWrap());
    QCOMPARE(description->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(description->font().pointSizeF(), 9.75);
    QCOMPARE(first->findChild<QLabel*>("Label8")->text(), QStringLiteral("Last modified : 16.02 2010"));
    QCOMPARE(first->findChild<QLabel*>("Label7")->text(), QStringLiteral("Developed by the Kavrin team"));
    QCOMPARE(first->findChild<QLabel*>("Label5")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(first->palette().color(QPalette::Window), kPaleYellow);

    // The main window stays usable while it is open.
    Press("Option_Euler", "0.1", "1");
    QCOMPARE(ListLines().size(), 2);

    about->trigger();
    QCOMPARE(form->aboutWindow(), first.data());
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) windows += qobject_cast<Form_About*>(w) != nullptr ? 1 : 0;
    QCOMPARE(windows, 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QVERIFY(form->aboutWindow() == nullptr);
    about->trigger();
    QVERIFY(form->aboutWindow() != nullptr);
    QVERIFY(form->aboutWindow()->isVisible());
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  Form1Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
