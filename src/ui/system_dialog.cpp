#include "ui/system_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavrin {
namespace {

QLineEdit* TextField(QWidget* parent, const char* name, const char* accessible) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(QString::fromLatin1(accessible));
  edit->setMaxLength(static_cast<int>(kMaxEquationLength));
  return edit;
}

// Dark red on a light window, light red on a dark one: readable in either scheme.
QColor ErrorTextColour(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128 ? QColor(255, 140, 140) : QColor(160, 0, 0);
}

}  // namespace

SystemDialog::SystemDialog(Session& session, QWidget* parent) : QDialog(parent), m_session(session) {
  setObjectName(QStringLiteral("SystemDialog"));
  setWindowTitle(QStringLiteral("System"));
  m_examples = new QComboBox(this);
  m_examples->setObjectName(QStringLiteral("System_examples"));
  m_examples->setAccessibleName(QStringLiteral("Examples"));
  m_examples->addItem(QStringLiteral("Choose an example\u2026"));
  for (const SystemExample& example : SystemExamples()) m_examples->addItem(QString::fromUtf8(example.name));
  m_f1 = TextField(this, "System_f1", "y1' = f1(x, y1, y2)");
  m_f2 = TextField(this, "System_f2", "y2' = f2(x, y1, y2)");
  m_x0 = TextField(this, "System_x0", kStartLabels[0].accessible);
  m_y10 = TextField(this, "System_y10", kStartLabels[1].accessible);
  m_y20 = TextField(this, "System_y20", kStartLabels[2].accessible);
  m_report = new QLabel(this);
  m_report->setObjectName(QStringLiteral("System_report"));
  m_report->setWordWrap(true);
  ColourReport();
  auto* help = new QLabel(QString::fromStdString(EquationLanguageHelp()), this);
  help->setToolTip(QString::fromStdString(FunctionGlossary()));
  help->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Example:"), m_examples);
  form->addRow(QStringLiteral("y1' ="), m_f1);
  form->addRow(QStringLiteral("y2' ="), m_f2);
  form->addRow(QString::fromLatin1(kStartLabels[0].caption), m_x0);
  form->addRow(QString::fromLatin1(kStartLabels[1].caption), m_y10);
  form->addRow(QString::fromLatin1(kStartLabels[2].caption), m_y20);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* builtin = buttons->addButton(QStringLiteral("Built-in system"), QDialogButtonBox::ResetRole);
  builtin->setObjectName(QStringLiteral("System_builtin"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(help);
  layout->addLayout(form);
  layout->addWidget(m_report);
  layout->addWidget(buttons);
  setMinimumWidth(520);

  Fill(session.problem()->texts);
  connect(m_examples, &QComboBox::activated, this, [this](int index) {
    if (index > 0) Fill(SystemExamples()[static_cast<std::size_t>(index - 1)].texts);
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &SystemDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SystemDialog::reject);
  connect(builtin, &QPushButton::clicked, this, &SystemDialog::ChooseBuiltIn);
}

void SystemDialog::Fill(const SystemTexts& texts) {
  m_f1->setText(QString::fromStdString(texts.f1));
  m_f2->setText(QString::fromStdString(texts.f2));
  m_x0->setText(QString::fromStdString(texts.x0));
  m_y10->setText(QString::fromStdString(texts.y10));
  m_y20->setText(QString::fromStdString(texts.y20));
  m_report->clear();
}

void SystemDialog::ColourReport() {
  QPalette palette = m_report->palette();
  palette.setColor(QPalette::WindowText, ErrorTextColour(this->palette()));
  m_report->setPalette(palette);
}

void SystemDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange) ColourReport();
  QDialog::changeEvent(event);
}

void SystemDialog::accept() {
  const SystemTexts texts{m_f1->text().toStdString(), m_f2->text().toStdString(), m_x0->text().toStdString(),
                          m_y10->text().toStdString(), m_y20->text().toStdString()};
  if (const std::optional<Failure> failure = m_session.Accept(texts)) {
    m_report->setText(QString::fromStdString(Describe(*failure)));
    return;
  }
  QDialog::accept();
}

void SystemDialog::ChooseBuiltIn() {
  m_session.UseBuiltIn();
  QDialog::accept();
}

}  // namespace kavrin
