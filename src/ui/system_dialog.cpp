#include "ui/system_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavrin {
namespace {

QLineEdit* Field(QWidget* parent, const char* name, const char* accessible) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(QString::fromLatin1(accessible));
  edit->setMaxLength(static_cast<int>(kMaxEquationLength));
  return edit;
}

}  // namespace

SystemDialog::SystemDialog(const OwnSystem* current, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SystemDialog"));
  setWindowTitle(QStringLiteral("System"));
  m_examples = new QComboBox(this);
  m_examples->setObjectName(QStringLiteral("System_examples"));
  m_examples->setAccessibleName(QStringLiteral("Examples"));
  m_examples->addItem(QStringLiteral("Choose an example\u2026"));
  for (const SystemExample& example : SystemExamples()) m_examples->addItem(QString::fromUtf8(example.name));
  m_f1 = Field(this, "System_f1", "y1' = f1(x, y1, y2)");
  m_f2 = Field(this, "System_f2", "y2' = f2(x, y1, y2)");
  m_x0 = Field(this, "System_x0", "Start x0");
  m_y10 = Field(this, "System_y10", "Initial value y1(0)");
  m_y20 = Field(this, "System_y20", "Initial value y2(0)");
  m_report = new QLabel(this);
  m_report->setObjectName(QStringLiteral("System_report"));
  m_report->setWordWrap(true);
  QPalette palette = m_report->palette();
  palette.setColor(QPalette::WindowText, QColor(160, 0, 0));
  m_report->setPalette(palette);
  auto* help = new QLabel(
      QStringLiteral("Expressions in x, y1 and y2 with numbers (\".\" as the decimal point), + - * / ^, parentheses, "
                     "sin cos tan asin acos atan sinh cosh tanh exp log sqrt abs, pi and e."),
      this);
  help->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Example:"), m_examples);
  form->addRow(QStringLiteral("y1' ="), m_f1);
  form->addRow(QStringLiteral("y2' ="), m_f2);
  form->addRow(QStringLiteral("x0 ="), m_x0);
  form->addRow(QStringLiteral("y1(0) ="), m_y10);
  form->addRow(QStringLiteral("y2(0) ="), m_y20);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* builtin = buttons->addButton(QStringLiteral("Built-in system"), QDialogButtonBox::ResetRole);
  builtin->setObjectName(QStringLiteral("System_builtin"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(help);
  layout->addLayout(form);
  layout->addWidget(m_report);
  layout->addWidget(buttons);
  setMinimumWidth(520);

  Fill(current != nullptr ? current->texts : SystemExamples().front().texts);
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

void SystemDialog::accept() {
  const SystemTexts texts{m_f1->text().toStdString(), m_f2->text().toStdString(), m_x0->text().toStdString(),
                          m_y10->text().toStdString(), m_y20->text().toStdString()};
  const SystemRead read = ReadSystem(texts);
  if (!read.error.empty()) {
    m_report->setText(QString::fromStdString(read.error));
    return;
  }
  m_chosen = IsBuiltIn(texts) ? nullptr : read.system;
  QDialog::accept();
}

void SystemDialog::ChooseBuiltIn() {
  m_chosen = nullptr;
  QDialog::accept();
}

}  // namespace kavrin
