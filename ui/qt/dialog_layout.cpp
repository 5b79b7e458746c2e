#include "ui/qt/dialog_layout.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/qt/qt_text.h"

using enum ControlKind;

namespace {

constexpr int kGridColumns = 4;
constexpr int kGridFrom = 7;  // toggles in a run before it becomes a grid
constexpr int kButtonsPerRow = 3;
constexpr std::size_t kMenuFrom = 3;  // buttons of a buttons-only dialog before it is a column
constexpr int kMenuButtonWidth = 220;
constexpr int kWrapFrom = 40;    // characters of a static text before it wraps
constexpr int kWrapWidth = 520;  // pixels a wrapped static text is given

bool isToggle(ControlKind kind) { return kind == CheckBox || kind == Radio; }

QWidget* makeStatic(const ControlResource& c) {
  auto* label = new QLabel(toQString(c.text));
  label->setTextFormat(Qt::PlainText);
  if (label->text().size() >= kWrapFrom) {
    label->setWordWrap(true);
    label->setMinimumWidth(kWrapWidth);
  }
  if (c.options.centered) label->setAlignment(Qt::AlignCenter);
  return label;
}

QWidget* makeEdit(const ControlResource& c) {
  if (c.options.multiline) {
    auto* edit = new QPlainTextEdit(toQString(c.text));
    edit->setReadOnly(c.options.readOnly);
    return edit;
  }
  auto* edit = new QLineEdit(toQString(c.text));
  if (c.options.maxLength > 0) edit->setMaxLength(c.options.maxLength);
  if (c.options.password) edit->setEchoMode(QLineEdit::Password);
  edit->setReadOnly(c.options.readOnly);
  if (c.options.rightAlign) {
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 6 + 16);
  } else {
    edit->setMinimumWidth(240);
  }
  return edit;
}

QWidget* makeIcon(QWidget* dialog) {
  auto* label = new QLabel;
  label->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  return label;
}

QWidget* makeControl(const ControlResource& c, QWidget* dialog) {
  switch (c.kind) {
    case Static: return makeStatic(c);
    case Edit: return makeEdit(c);
    case Button: {
      auto* button = new QPushButton(toQString(c.text));
      button->setAutoDefault(false);
      button->setDefault(c.options.defaultButton);
      return button;
    }
    case CheckBox: return new QCheckBox(toQString(c.text));
    case Radio: {
      auto* radio = new QRadioButton(toQString(c.text));
      radio->setAutoExclusive(false);  // the framework keeps the groups
      return radio;
    }
    case GroupBox: return new QGroupBox(toQString(c.text));
    case Progress: {
      auto* bar = new QProgressBar;
      bar->setRange(0, 100);
      bar->setTextVisible(false);
      bar->setMinimumWidth(300);
      return bar;
    }
    case Icon: return makeIcon(dialog);
  }
  return new QWidget;
}

struct Builder {
  const DialogResource& resource;
  const std::vector<QWidget*>& widgets;
  std::size_t lastButtonRun;  // index where the dialog's last run of push buttons starts

  ControlKind kind(std::size_t i) const { return resource.controls[i].kind; }

  // Whether control i + 1 shares a row with control i.
  bool joinsRow(std::size_t i) const {
    ControlKind a = kind(i);
    ControlKind b = kind(i + 1);
    if (a == Static && b == Edit) return true;
    if (a == Icon && b == Static) return true;
    if (a == Progress && b == Edit) return true;
    return a == Edit && b == Static && toQString(resource.controls[i + 1].text).size() <= 2;
  }

  void addToggles(std::size_t from, std::size_t to, QBoxLayout* layout) const {
    if (to - from < static_cast<std::size_t>(kGridFrom)) {
      for (std::size_t i = from; i < to; ++i) layout->addWidget(widgets[i]);
      return;
    }
    auto* grid = new QGridLayout;
    for (std::size_t i = from; i < to; ++i) {
      int n = static_cast<int>(i - from);
      grid->addWidget(widgets[i], n / kGridColumns, n % kGridColumns);
    }
    layout->addLayout(grid);
  }

  void addButtons(std::size_t from, std::size_t to, QBoxLayout* layout) const {
    if (from == 0 && to == resource.controls.size() && to - from >= kMenuFrom) {
      // A dialog of buttons alone is a menu: one button under the other, all as wide as the
      // widest, reads as a list of choices.
      for (std::size_t i = from; i < to; ++i) {
        widgets[i]->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        widgets[i]->setMinimumWidth(kMenuButtonWidth);
        layout->addWidget(widgets[i]);
      }
      return;
    }
    if (from == lastButtonRun) {
      auto* row = new QHBoxLayout;
      row->addStretch(1);
      for (std::size_t i = from; i < to; ++i) row->addWidget(widgets[i]);
      layout->addLayout(row);
      return;
    }
    auto* grid = new QGridLayout;
    for (std::size_t i = from; i < to; ++i) {
      int n = static_cast<int>(i - from);
      grid->addWidget(widgets[i], n / kButtonsPerRow, n % kButtonsPerRow);
    }
    layout->addLayout(grid);
  }

  // Lays out controls from..to (no group box among them) into `layout`.
  void addRun(std::size_t from, std::size_t to, QBoxLayout* layout) const {
    std::size_t i = from;
    while (i < to) {
      std::size_t j = i + 1;
      if (isToggle(kind(i))) {
        while (j < to && isToggle(kind(j))) ++j;
        addToggles(i, j, layout);
      } else if (kind(i) == Button) {
        while (j < to && kind(j) == Button) ++j;
        addButtons(i, j, layout);
      } else if (j < to && joinsRow(i)) {
        auto* row = new QHBoxLayout;
        row->addWidget(widgets[i]);
        while (j < to && joinsRow(j - 1)) ++j;
        for (std::size_t k = i + 1; k < j; ++k) row->addWidget(widgets[k]);
        layout->addLayout(row);
      } else {
        layout->addWidget(widgets[i]);
      }
      i = j;
    }
  }

  void addAll(QBoxLayout* root) const {
    std::size_t n = resource.controls.size();
    std::size_t i = 0;
    while (i < n) {
      std::size_t j = i + 1;
      if (kind(i) == GroupBox) {
        // A text after the group's buttons or check boxes is a note below the frame.
        while (
            j < n && kind(j) != GroupBox && j != lastButtonRun &&
            !(kind(j) == Static && j > i + 1 && (kind(j - 1) == Button || isToggle(kind(j - 1)))))
          ++j;
        auto* inner = new QVBoxLayout(widgets[i]);
        addRun(i + 1, j, inner);
        root->addWidget(widgets[i]);
      } else {
        while (j < n && kind(j) != GroupBox && j != lastButtonRun) ++j;
        addRun(i, j, root);
      }
      i = j;
    }
  }
};

std::size_t findLastButtonRun(const DialogResource& resource) {
  std::size_t n = resource.controls.size();
  std::size_t i = n;
  while (i > 0 && resource.controls[i - 1].kind == Button) --i;
  return i == n ? n + 1 : i;  // n + 1: no such run
}

}  // namespace

std::vector<QWidget*> buildDialogControls(const DialogResource& resource, QWidget* dialog) {
  std::vector<QWidget*> widgets;
  widgets.reserve(resource.controls.size());
  for (const ControlResource& c : resource.controls) {
    QWidget* w = makeControl(c, dialog);
    if (c.id != IDC_STATIC) w->setObjectName(QString::number(c.id));
    widgets.push_back(w);
  }
  auto* root = new QVBoxLayout(dialog);
  root->setSizeConstraint(QLayout::SetFixedSize);
  Builder{resource, widgets, findLastButtonRun(resource)}.addAll(root);
  return widgets;
}
