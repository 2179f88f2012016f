// The main window and the About window, offscreen.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "offscreen_messages.h"
#include "plot/graphic.h"
#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/picture_box.h"

using namespace kavrin;

namespace {

QColor Pixel(const PictureBox* picture, double x, double y, const ViewTransform& view) {
  const int column = static_cast<int>(std::floor(view.PixelX(x)));
  const int row = static_cast<int>(std::floor(view.PixelY(y)));
  return picture->image().pixelColor(column, row);
}

const QColor kPaleYellowColour(255, 255, 192);

// WCAG contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The best contrast any pixel of a widget, as drawn, has against its background.
double DrawnContrast(QWidget* widget, const QColor& background) {
  const QImage image = widget->grab().toImage();
  double best = 1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) best = std::max(best, Contrast(image.pixelColor(x, y), background));
  return best;
}

// Every caption and label of a window fits its control: the text and what the
// style draws around it in width, a line of text in height.
void VerifyCaptionsFit(QWidget* window) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    const QString name = w->objectName();
    if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap()) {
      QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
    } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
      QVERIFY2(w->sizeHint().width() <= w->width(),
               qPrintable(QStringLiteral("%1: %2 > %3").arg(name).arg(w->sizeHint().width()).arg(w->width())));
      QVERIFY2(w->fontMetrics().height() <= w->height(), qPrintable(name));
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      QVERIFY2(box->fontMetrics().horizontalAdvance(box->title()) + 16 <= box->width(), qPrintable(name));
    }
  }
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  MainWindow* form = nullptr;
  QStringList reports;
  QFont defaultFont;

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
  void initTestCase() {
    InstallOffscreenFilter();
    // The layout's own pixel sizes hold at scale 1, which a font no wider than
    // the design's gives; the user's default font is kept for the fit tests.
    defaultFont = QApplication::font();
    QFont narrow = defaultFont;
    narrow.setPointSizeF(6);
    QApplication::setFont(narrow);
  }

  void init() {
    reports.clear();
    form = new MainWindow;
    form->set_error_reporter([this](const QString& message) { reports << message; });
    form->set_warning_reporter([this](const QString& message) { reports << "warning: " + message; });
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
    QCOMPARE(form->layout_scale(), 1.0);
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
      QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Text), QColor(0, 0, 0));
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

    // A blank picture in its background colour; "About" first, without a
    // submenu, then "Results", whose Copy and Save carry the standard
    // shortcuts, the only ones in the window.
    const QImage& image = Get<PictureBox>("Picture1")->image();
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(0, 0), kPaleYellowColour);
    QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), kPaleYellowColour);
    const QList<QAction*> entries = form->menuBar()->actions();
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[2]->text(), QStringLiteral("System"));
    QVERIFY(entries[2]->menu() == nullptr);

    QCOMPARE(entries[0]->text(), QStringLiteral("About"));
    QCOMPARE(entries[0]->objectName(), QStringLiteral("Mn_About"));
    QVERIFY(entries[0]->menu() == nullptr);
    QCOMPARE(entries[1]->text(), QStringLiteral("Results"));
    QStringList shortcuts;
    for (const QAction* action : form->findChildren<QAction*>())
      if (!action->shortcut().isEmpty()) shortcuts << action->objectName() + "=" + action->shortcut().toString();
    shortcuts.sort();
    QCOMPARE(shortcuts, (QStringList{"Mn_Copy=" + QKeySequence(QKeySequence::Copy).toString(),
                                     "Mn_SaveCsv=" + QKeySequence(QKeySequence::Save).toString()}));
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
    QCOMPARE(picture->image().pixelColor(1, 1), kPaleYellowColour);
    QCOMPARE(Pixel(picture, 0.05, 0.95, view), QColor(255, 0, 0));      // y1
    QCOMPARE(Pixel(picture, 0.05, -0.95, view), QColor(0, 0, 255));     // y2
    QCOMPARE(Pixel(picture, 0.1, 0.5, view), QColor(230, 230, 230));    // vertical grid at 0.1
    QCOMPARE(Pixel(picture, 0.08, -0.5, view), QColor(230, 230, 230));  // horizontal grid at -0.5
    QCOMPARE(Pixel(picture, 0.08, 0.5, view), kPaleYellowColour);       // no grid above the x axis
    QCOMPARE(Pixel(picture, 0.0, 0.5, view), QColor(0, 0, 0));          // y axis
    QCOMPARE(Pixel(picture, 0.05, 0.0, view), QColor(0, 0, 0));         // x axis
    // What is on screen is the backing image.
    const QImage screen = Get<PictureBox>("Picture1")->grab().toImage();
    QCOMPARE(screen.pixelColor(picture->contentsRect().topLeft() + QPoint(10, 10)), kPaleYellowColour);
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
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void captionsFitTheUsersFont_data() {
    QTest::addColumn<double>("points");
    QTest::newRow("default font") << 0.0;
    QTest::newRow("14 pt") << 14.0;
  }
  void captionsFitTheUsersFont() {
    QFETCH(double, points);
    const QFont narrow = QApplication::font();
    QFont font = defaultFont;
    if (points > 0) font.setPointSizeF(points);
    QApplication::setFont(font);
    {
      MainWindow wide;
      wide.show();
      QVERIFY(QTest::qWaitForWindowExposed(&wide));
      QVERIFY(wide.layout_scale() > 1);
      VerifyCaptionsFit(&wide);
      // The result lines of every method fit the list without scrolling sideways.
      auto* list = wide.findChild<QListWidget*>("List1");
      for (QRadioButton* option : wide.findChildren<QRadioButton*>()) {
        option->setChecked(true);
        wide.findChild<QLineEdit*>("Text_x1")->setText("2");
        wide.findChild<QLineEdit*>("Text_N")->setText("200");
        wide.findChild<QPushButton*>("Command1")->click();
      }
      QCOMPARE(list->count(), 14);
      QApplication::processEvents();
      QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
      // The picture grows with the window.
      QCOMPARE(wide.findChild<PictureBox*>("Picture1")->width(), static_cast<int>(4815 * wide.layout_scale() / 15));

      AboutWindow about(wide.layout_scale());
      about.show();
      QVERIFY(about.width() >= static_cast<int>(3600 * wide.layout_scale() / 15));
      VerifyCaptionsFit(&about);
    }
    QApplication::setFont(narrow);
  }

  void darkSchemeKeepsFixedBackgroundsReadable() {
    const QPalette standard = QApplication::palette();
    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
      dark.setColor(role, QColor(40, 40, 40));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
      dark.setColor(role, QColor(235, 235, 235));
      dark.setColor(QPalette::Disabled, role, QColor(190, 190, 190));
    }
    QApplication::setPalette(dark);
    {
      MainWindow window;
      window.show();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
      window.findChild<QPushButton*>("Command1")->click();
      for (const char* name : {"Text_x0", "Text_y10", "Text_y20", "Text_h"}) {
        const double contrast = DrawnContrast(window.findChild<QLineEdit*>(name), QColor(224, 224, 224));
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(name).arg(contrast)));
      }
      // The axes are dark on the pale yellow picture.
      const auto* picture = window.findChild<PictureBox*>("Picture1");
      const ViewTransform view(0 - 0.1 * 0.1, 1.2, 0.1 + 0.1 * 0.1, -1.2, picture->PixelWidth(),
                               picture->PixelHeight());
      QVERIFY(Contrast(Pixel(picture, 0.0, 0.5, view), kPaleYellowColour) >= 4.5);
      QVERIFY(Contrast(Pixel(picture, 0.05, 0.0, view), kPaleYellowColour) >= 4.5);
      // The System dialog's report of a wrong text stands out from the dark window.
      window.findChild<QAction*>("Mn_System")->trigger();
      auto* dialog = window.findChild<QDialog*>("SystemDialog");
      dialog->findChild<QLineEdit*>("System_f1")->setText("z");
      dialog->accept();
      QVERIFY(DrawnContrast(dialog->findChild<QLabel*>("System_report"), QColor(40, 40, 40)) >= 4.5);

      AboutWindow about;
      about.show();
      for (QLabel* label : about.findChildren<QLabel*>()) {
        const double contrast = DrawnContrast(label, kPaleYellowColour);
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(label->objectName()).arg(contrast)));
      }
    }
    QApplication::setPalette(standard);
  }

  // Run with QT_SCALE_FACTOR=2 (a second ctest entry): the plot is drawn at
  // the screen's resolution, not enlarged from logical pixels.
  void plotIsSharpAtDevicePixelRatio2() {
    if (form->devicePixelRatioF() != 2) QSKIP("needs QT_SCALE_FACTOR=2");
    Press("Option_Euler", "0.1", "1");
    auto* picture = Get<PictureBox>("Picture1");
    const QImage screen = picture->grab().toImage();
    QCOMPARE(screen.devicePixelRatio(), 2.0);
    // The red segment from (0, 1) to (0.1, 0.9) falls 20 device pixels over
    // about 530 columns: the top edge of each column rises in steps of one
    // device pixel, and the segment is about one logical pixel thick.
    int odd_tops = 0, columns = 0;
    for (int x = 0; x < screen.width(); ++x) {
      int top = -1, thickness = 0;
      for (int y = 0; y < screen.height(); ++y) {
        if (screen.pixelColor(x, y) != QColor(255, 0, 0)) continue;
        if (top < 0) top = y;
        ++thickness;
      }
      if (top < 0) continue;
      ++columns;
      odd_tops += top % 2;
      QVERIFY2(thickness >= 2 && thickness <= 3, qPrintable(QStringLiteral("column %1: %2").arg(x).arg(thickness)));
    }
    QVERIFY(columns > 400);
    QVERIFY(odd_tops > columns / 4);
  }

  void aboutWindowIsModelessAndSingle() {
    QVERIFY(form->about_window() == nullptr);
    QAction* about = form->menuBar()->actions().at(0);
    about->trigger();
    QPointer<AboutWindow> first = form->about_window();
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
    QCOMPARE(first->palette().color(QPalette::Window), kPaleYellowColour);

    // The main window stays usable while it is open.
    Press("Option_Euler", "0.1", "1");
    QCOMPARE(ListLines().size(), 2);

    about->trigger();
    QCOMPARE(form->about_window(), first.data());
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) windows += qobject_cast<AboutWindow*>(w) != nullptr ? 1 : 0;
    QCOMPARE(windows, 1);

    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QVERIFY(form->about_window() == nullptr);
    about->trigger();
    QVERIFY(form->about_window() != nullptr);
    QVERIFY(form->about_window()->isVisible());
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
