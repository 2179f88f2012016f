#include "ui/about_window.h"

#include <QFontDatabase>
#include <QLabel>

#include "plot/graphic.h"
#include "ui/twip_layout.h"

namespace kavrin {
namespace {

// Verdana where it is installed, else the system's sans-serif font.
QFont AboutFont(double points) {
  QFont font(QStringLiteral("Verdana"));
  if (!QFontDatabase::families().contains(QStringLiteral("Verdana"))) {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QLabel* MakeLabel(TwipLayout& layout, QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width, int height, double points, const QColor& colour, Qt::Alignment alignment) {
  auto* label = layout.Place(new QLabel(text, parent), name, left, top, width, height);
  label->setFont(AboutFont(points));
  label->setAlignment(alignment | Qt::AlignTop);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

}  // namespace

AboutWindow::AboutWindow(double scale, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Form_About"));
  setWindowTitle(QStringLiteral("About"));
  // The pale yellow is fixed, so the text colour is too: dark under any scheme.
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(kPaleYellow.red, kPaleYellow.green, kPaleYellow.blue));
  palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
  setPalette(palette);
  setAutoFillBackground(true);

  TwipLayout layout;
  // At least the main window's scale, so both windows grow alike.
  layout.RequireScale(scale);
  const QColor text(0, 0, 0);
  QLabel* description = MakeLabel(
      layout, this, "Label2",
      QStringLiteral("Simultaneous numerical integration of y1'=y1y2+x and y2'=xy2+y1 equations numerical methods"),
      600, 360, 2415, 1335, 9.75, QColor(0, 128, 0), Qt::AlignHCenter);
  description->setWordWrap(true);
  MakeLabel(layout, this, "Label7", QStringLiteral("Developed by the Kavrin team"), 600, 1680, 2535, 255, 8.25, text,
            Qt::AlignLeft);
  MakeLabel(layout, this, "Label8", QStringLiteral("Last modified : 16.02 2010"), 480, 2040, 2415, 255, 8.25, text,
            Qt::AlignLeft);
  MakeLabel(layout, this, "Label4", QStringLiteral("For comments and questions e-mail to"), 240, 2400, 3375, 255, 8.25,
            text, Qt::AlignLeft);
  MakeLabel(layout, this, "Label5", QStringLiteral("kavrin@example.org"), 960, 2640, 1935, 255, 8.25, QColor(0, 0, 255),
            Qt::AlignLeft);
  layout.Apply();
  setFixedSize(layout.Px(3600), layout.Px(3030));
}

}  // namespace kavrin
