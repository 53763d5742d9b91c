#include "desktop/form_skin.h"

#include <cmath>
#include <functional>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "desktop/control_text.h"

namespace qm {

QRect pixelRect(const Twips& twips) {
  // Round the edges rather than the sizes, so that controls that touch in twips touch in pixels.
  const auto px = [](int t) { return static_cast<int>(std::lround(t / double(kTwipsPerPixel))); };
  const int left = px(twips.left);
  const int top = px(twips.top);
  return QRect(left, top, px(twips.left + twips.width) - left, px(twips.top + twips.height) - top);
}

QString toQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQString(const QString& text) {
  return text.toUtf8().toStdString();
}

int unitsForChars(const QString& text, int chars) {
  int units = 0;
  for (int c = 0; c < chars && units < text.size(); ++c) {
    units += (text.at(units).isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
  }
  return units;
}

int charsForUnits(const QString& text, int units) {
  int chars = 0;
  for (int u = 0; u < units && u < text.size(); ++chars) {
    u += (text.at(u).isHighSurrogate() && u + 1 < text.size()) ? 2 : 1;
  }
  return chars;
}

namespace {

// An access key on a button, check box or option button moves the focus to it and clicks it at
// once, as the form expects; Qt's own handling would only animate a click a moment later and
// leave the focus where it was, so a text box would miss its LostFocus.
template <class Base>
class AccessKeyButton : public Base {
 public:
  using Base::Base;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
      if (this->focusPolicy() != Qt::NoFocus) this->setFocus(Qt::ShortcutFocusReason);
      this->click();
      return true;
    }
    return Base::event(event);
  }
};

// A label's access key moves the focus to the next control in tab order that can take it right
// now, which the form knows; the buddy only makes Qt register the key and underline it.
class AccessLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<QWidget*()> target;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Shortcut && target) {
      if (QWidget* next = target()) next->setFocus(Qt::ShortcutFocusReason);
      return true;
    }
    return QLabel::event(event);
  }
};

const std::string* captionOf(const Control& control) {
  if (auto* c = dynamic_cast<const CommandButton*>(&control)) return &c->caption();
  if (auto* c = dynamic_cast<const CheckBox*>(&control)) return &c->caption();
  if (auto* c = dynamic_cast<const OptionButton*>(&control)) return &c->caption();
  return nullptr;
}

// Whether a label's caption holds an access key ("&x", but not a doubled "&&").
bool hasAccessKey(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return true;
    ++i;
  }
  return false;
}

// A label whose text the user may want to keep, such as a failure that names a path: the text
// can be selected with the mouse and copied, and a word too long for a line (a deep path)
// breaks anywhere rather than running off the edge. It never takes the keyboard focus, so the
// dialog's buttons keep it.
class SelectableText : public QTextEdit {
 public:
  explicit SelectableText(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    // It reads as a label: the window's own ground, not a field's.
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
  }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override {
    const std::unique_ptr<QTextDocument> copy(document()->clone());
    copy->setDocumentMargin(0);
    copy->setTextWidth(width);
    return static_cast<int>(std::ceil(copy->size().height()));
  }
};

void setChecked(QAbstractButton& button, bool on) {
  if (button.isChecked() == on) return;
  // Qt refuses to clear the checked button of an exclusive group; the model may do it.
  const bool exclusive = button.autoExclusive();
  if (!on) button.setAutoExclusive(false);
  button.setChecked(on);
  button.setAutoExclusive(exclusive);
}

}  // namespace

FormSkin::FormSkin(Form& form, QWidget& client) : QObject(&client), form_(form), client_(client) {
  // Containers come before their contents in the form's list; create in passes all the same, so
  // that the order of declaration never matters.
  std::vector<Control*> pending(form_.controls().begin(), form_.controls().end());
  while (!pending.empty()) {
    std::vector<Control*> later;
    for (Control* control : pending) {
      QWidget* parent = &client_;
      if (control->container != nullptr) {
        parent = widgetOf(*control->container);
        if (parent == nullptr) {
          later.push_back(control);
          continue;
        }
      }
      QWidget* widget = create(*control, *parent);
      widget->setObjectName(toQString(control->name()));
      widget->setGeometry(pixelRect(control->rect));
      byControl_[control] = bindings_.size();
      byWidget_[widget] = control;
      const ControlText text = TextOfControl(control->name());
      if (!text.name.isEmpty()) widget->setAccessibleName(text.name);
      if (!text.toolTip.isEmpty()) widget->setToolTip(text.toolTip);
      bindings_.push_back({control, widget, !text.name.isEmpty()});
    }
    if (later.size() == pending.size()) break;  // a container that is not on this form
    pending = std::move(later);
  }

  client_.setFixedSize(pixelRect(form_.client).size());
  client_.window()->setWindowTitle(toQString(form_.caption()));

  for (Binding& binding : bindings_) {
    Control& control = *binding.control;
    sync(control);
    connectInput(control, *binding.widget);
    control.setObserver([this, &control] { sync(control); });
  }
  setTabOrder();
  setLabelTargets();
  form_.setFocusObserver([this] { syncFocus(); });
  connect(qApp, &QApplication::focusChanged, this,
          [this](QWidget*, QWidget* now) { focusChanged(now); });
  syncFocus();
}

FormSkin::~FormSkin() {
  form_.setFocusObserver(nullptr);
  for (Binding& binding : bindings_)
    binding.control->setObserver(nullptr);
  // The widgets call back into this skin; they go with it.
  std::vector<QPointer<QWidget>> roots;
  for (Binding& binding : bindings_) {
    if (binding.widget->parentWidget() == &client_) roots.emplace_back(binding.widget);
  }
  for (QPointer<QWidget>& root : roots)
    delete root.data();
}

QWidget* FormSkin::create(Control& control, QWidget& parent) {
  if (dynamic_cast<Frame*>(&control) != nullptr) {
    auto* box = new QGroupBox(&parent);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
  }
  if (auto* model = dynamic_cast<Label*>(&control); model != nullptr && model->selectable) {
    return new SelectableText(&parent);
  }
  if (dynamic_cast<Label*>(&control) != nullptr) {
    auto* label = new AccessLabel(&parent);
    // Captions are names and messages, never markup; labels wrap and start at the top.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    if (control.colour == ColourRole::ValueField) {
      label->setAutoFillBackground(true);
      label->setBackgroundRole(QPalette::Base);
      label->setForegroundRole(QPalette::Text);
    }
    return label;
  }
  if (dynamic_cast<CommandButton*>(&control) != nullptr) {
    auto* button = new AccessKeyButton<QPushButton>(&parent);
    // Return and keypad Enter press the button that has the focus, in every window.
    button->setAutoDefault(true);
    return button;
  }
  if (dynamic_cast<TextBox*>(&control) != nullptr) return new QLineEdit(&parent);
  if (dynamic_cast<CheckBox*>(&control) != nullptr) {
    return new AccessKeyButton<QCheckBox>(&parent);
  }
  if (dynamic_cast<OptionButton*>(&control) != nullptr) {
    return new AccessKeyButton<QRadioButton>(&parent);
  }
  if (dynamic_cast<ComboBox*>(&control) != nullptr) return new QComboBox(&parent);
  if (dynamic_cast<ProgressBar*>(&control) != nullptr) {
    auto* bar = new QProgressBar(&parent);
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    return bar;
  }
  auto* plain = new QWidget(&parent);
  plain->setFocusPolicy(Qt::NoFocus);
  return plain;
}

void FormSkin::connectInput(Control& control, QWidget& widget) {
  if (control.bold) {
    QFont font = widget.font();
    font.setBold(true);
    widget.setFont(font);
  }
  if (control.tabIndex < 0) widget.setFocusPolicy(Qt::NoFocus);

  if (auto* button = dynamic_cast<CommandButton*>(&control)) {
    connect(static_cast<QPushButton*>(&widget), &QPushButton::clicked, this, [this, button] {
      button->click();
      sync(*button);
    });
  } else if (auto* box = dynamic_cast<TextBox*>(&control)) {
    auto* edit = static_cast<QLineEdit*>(&widget);
    const auto takeSelection = [box, edit] {
      const QString text = edit->text();
      if (edit->hasSelectedText()) {
        const int start = edit->selectionStart();
        box->setSelection(charsForUnits(text, start),
                          charsForUnits(text, start + int(edit->selectedText().size())) -
                              charsForUnits(text, start));
      } else {
        box->setSelection(charsForUnits(text, edit->cursorPosition()), 0);
      }
    };
    connect(edit, &QLineEdit::textEdited, this, [this, box, edit, takeSelection] {
      // The caret stays where the user typed: the model takes the text, then the selection.
      editing_ = box;
      box->setText(fromQString(edit->text()));
      editing_ = nullptr;
      takeSelection();
      sync(*box);
    });
    connect(edit, &QLineEdit::selectionChanged, this, takeSelection);
    connect(edit, &QLineEdit::cursorPositionChanged, this, takeSelection);
  } else if (auto* check = dynamic_cast<CheckBox*>(&control)) {
    connect(static_cast<QCheckBox*>(&widget), &QCheckBox::clicked, this, [this, check] {
      check->click();
      sync(*check);
    });
  } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
    connect(static_cast<QRadioButton*>(&widget), &QRadioButton::clicked, this, [this, option] {
      option->click();
      syncAll();
    });
  } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
    connect(static_cast<QComboBox*>(&widget), &QComboBox::activated, this,
            [this, combo](int index) {
              combo->setListIndex(index);
              sync(*combo);
            });
  }
}

void FormSkin::sync(Control& control) {
  Binding* binding = bindingOf(control);
  if (binding == nullptr) return;
  QWidget& widget = *binding->widget;
  const QSignalBlocker block(&widget);
  const Applying applying(applying_);

  if (auto* label = dynamic_cast<Label*>(&control)) {
    const QString text = toQString(label->caption());
    if (auto* plain = qobject_cast<QLabel*>(&widget)) {
      plain->setText(text);
    } else if (auto* view = qobject_cast<QTextEdit*>(&widget);
               view != nullptr && view->toPlainText() != text) {
      view->setPlainText(text);
      view->setAccessibleName(text);
    }
  } else if (auto* button = dynamic_cast<CommandButton*>(&control)) {
    static_cast<QPushButton&>(widget).setText(toQString(button->caption()));
  } else if (auto* box = dynamic_cast<TextBox*>(&control)) {
    syncText(*box, static_cast<QLineEdit&>(widget));
  } else if (auto* check = dynamic_cast<CheckBox*>(&control)) {
    auto& widgetBox = static_cast<QCheckBox&>(widget);
    widgetBox.setText(toQString(check->caption()));
    setChecked(widgetBox, check->value() == 1);
  } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
    auto& radio = static_cast<QRadioButton&>(widget);
    radio.setText(toQString(option->caption()));
    setChecked(radio, option->value());
  } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
    auto& list = static_cast<QComboBox&>(widget);
    bool same = list.count() == combo->listCount();
    for (int i = 0; same && i < combo->listCount(); ++i) {
      same = list.itemText(i) == toQString(combo->list(i));
    }
    if (!same) {
      list.clear();
      for (int i = 0; i < combo->listCount(); ++i)
        list.addItem(toQString(combo->list(i)));
    }
    if (list.currentIndex() != combo->listIndex()) list.setCurrentIndex(combo->listIndex());
  } else if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
    static_cast<QProgressBar&>(widget).setValue(bar->value());
  }
  // Every change of a name is announced to screen readers, so only a real one is made.
  const std::string* caption = binding->ownName ? nullptr : captionOf(control);
  if (caption != nullptr && widget.accessibleName() != SpokenCaption(*caption)) {
    widget.setAccessibleName(SpokenCaption(*caption));
  }
  widget.setEnabled(control.enabled());
  if (widget.isHidden() == control.visible()) widget.setVisible(control.visible());
  if (title_) {
    const QString title = toQString(title_());
    if (client_.window()->windowTitle() != title) client_.window()->setWindowTitle(title);
  }
}

void FormSkin::syncText(const TextBox& box, QLineEdit& edit) {
  const QString text = toQString(box.text());
  if (edit.text() != text) edit.setText(text);
  // While the model takes typed text, the widget's caret is the truth; the model learns it next.
  if (editing_ == &box) return;
  const int start = unitsForChars(text, box.selStart());
  const int end = unitsForChars(text, box.selStart() + box.selLength());
  if (end > start) {
    if (edit.selectionStart() != start || edit.selectionEnd() != end) {
      edit.setSelection(start, end - start);
    }
  } else if (edit.hasSelectedText() || edit.cursorPosition() != start) {
    edit.setCursorPosition(start);
  }
}

void FormSkin::syncAll() {
  for (Binding& binding : bindings_)
    sync(*binding.control);
}

void FormSkin::syncFocus() {
  Control* focused = form_.focused();
  if (focused == nullptr) return;
  QWidget* widget = widgetOf(*focused);
  if (widget == nullptr || widget->focusPolicy() == Qt::NoFocus) return;
  const Applying applying(applying_);
  if (QApplication::focusWidget() != widget) widget->setFocus(Qt::OtherFocusReason);
}

void FormSkin::focusChanged(QWidget* now) {
  // Focus that leaves for another window (a dialog, the help) leaves this form's focus alone.
  Control* control = controlOf(now);
  if (control == nullptr) return;
  if (applying_ > 0) {
    // Qt moved the focus because the skin is applying a change of the model (hiding or
    // disabling the focused control): the form hears of it once that change is done, not in
    // the middle of its own handler.
    QPointer<QWidget> target(now);
    QTimer::singleShot(0, this, [this, target] {
      if (target && QApplication::focusWidget() == target) focusChanged(target);
    });
    return;
  }
  form_.moveFocus(control);
}

void FormSkin::setTabOrder() {
  std::vector<Binding*> order;
  for (Binding& binding : bindings_) {
    if (binding.control->tabIndex >= 0 && binding.widget->focusPolicy() != Qt::NoFocus) {
      order.push_back(&binding);
    }
  }
  std::stable_sort(order.begin(), order.end(), [](const Binding* a, const Binding* b) {
    return a->control->tabIndex < b->control->tabIndex;
  });
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1]->widget, order[i]->widget);
  }
}

void FormSkin::setLabelTargets() {
  for (Binding& binding : bindings_) {
    auto* label = dynamic_cast<Label*>(binding.control);
    auto* widget = dynamic_cast<AccessLabel*>(binding.widget);
    if (label == nullptr || widget == nullptr) continue;
    // The buddy is the control the label names, for screen readers; the access key goes by the
    // form's tab order, which may pass a disabled field by.
    const char* named = TextOfControl(label->name()).labels;
    Control* field = named != nullptr ? form_.find(named) : nullptr;
    if (field != nullptr) widget->setBuddy(widgetOf(*field));
    if (label->tabIndex < 0 || !hasAccessKey(label->caption())) continue;
    if (widget->buddy() == nullptr)
      widget->setBuddy(widget);  // Qt registers keys of buddied labels only
    widget->target = [this, label]() -> QWidget* {
      Control* next = form_.nextInTabOrder(label);
      return next != nullptr ? widgetOf(*next) : nullptr;
    };
  }
}

QWidget* FormSkin::widgetOf(const Control& control) const {
  const auto it = byControl_.find(&control);
  return it == byControl_.end() ? nullptr : bindings_[it->second].widget;
}

Control* FormSkin::controlOf(const QWidget* widget) const {
  for (const QWidget* w = widget; w != nullptr && w != &client_; w = w->parentWidget()) {
    const auto it = byWidget_.find(w);
    if (it != byWidget_.end()) return it->second;
  }
  return nullptr;
}

FormSkin::Binding* FormSkin::bindingOf(const Control& control) {
  const auto it = byControl_.find(&control);
  return it == byControl_.end() ? nullptr : &bindings_[it->second];
}

}  // namespace qm
