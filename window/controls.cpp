#include "window/controls.h"

#include <algorithm>

#include "platform/text.h"

namespace qm {

Control::Control(Form& form, std::string name) : form_(form), name_(std::move(name)) {
  form_.controls_.push_back(this);
}

void Control::setEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  changed();
}

void Control::setVisible(bool on) {
  if (visible_ == on) return;
  visible_ = on;
  changed();
}

bool Control::canFocus() const {
  if (tabIndex < 0 || !enabled_ || !visible_) return false;
  for (const Control* c = container; c != nullptr; c = c->container) {
    if (!c->enabled_ || !c->visible_) return false;
  }
  return true;
}

void Control::changed() const {
  if (observer_) observer_();
}

void Label::setCaption(std::string text) {
  if (caption_ == text) return;
  caption_ = std::move(text);
  changed();
}

void CommandButton::setCaption(std::string text) {
  if (caption_ == text) return;
  caption_ = std::move(text);
  changed();
}

void CommandButton::click() {
  if (!enabled() || !visible()) return;
  if (Click) Click();
}

void TextBox::setText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  const int length = static_cast<int>(charCount(text_));
  selStart_ = std::min(selStart_, length);
  selLength_ = std::min(selLength_, length - selStart_);
  changed();
  if (Change) Change();
}

void TextBox::setSelection(int start, int length) {
  const int total = static_cast<int>(charCount(text_));
  start = std::clamp(start, 0, total);
  length = std::clamp(length, 0, total - start);
  if (start == selStart_ && length == selLength_) return;
  selStart_ = start;
  selLength_ = length;
  changed();
}

void TextBox::setFocus() {
  form().moveFocus(this);
}

void CheckBox::setCaption(std::string text) {
  if (caption_ == text) return;
  caption_ = std::move(text);
  changed();
}

void CheckBox::setValue(int value) {
  value = value != 0 ? 1 : 0;
  if (value_ == value) return;
  value_ = value;
  changed();
  if (Click) Click();
}

void CheckBox::click() {
  if (!enabled() || !visible()) return;
  setValue(value_ == 0 ? 1 : 0);
}

void OptionButton::setCaption(std::string text) {
  if (caption_ == text) return;
  caption_ = std::move(text);
  changed();
}

void OptionButton::setValue(bool on) {
  if (value_ == on) return;
  value_ = on;
  if (on) {
    for (Control* c : form().controls()) {
      auto* other = dynamic_cast<OptionButton*>(c);
      if (other != nullptr && other != this && other->container == container && other->value_) {
        other->value_ = false;
        other->changed();
      }
    }
  }
  changed();
  if (on && Click) Click();
}

void OptionButton::click() {
  if (!enabled() || !visible()) return;
  setValue(true);
}

int ComboBox::addItem(std::string text) {
  items_.push_back({std::move(text), 0});
  changed();
  return static_cast<int>(items_.size()) - 1;
}

void ComboBox::setItemData(int index, std::int32_t data) {
  items_.at(static_cast<size_t>(index)).data = data;
}

void ComboBox::setListIndex(int index) {
  if (index < -1 || index >= listCount()) index = -1;
  if (listIndex_ == index) return;
  listIndex_ = index;
  changed();
  if (Click) Click();
}

void ProgressBar::setValue(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (value_ == percent) return;
  value_ = percent;
  changed();
}

Control* Form::find(const std::string& name) const {
  for (Control* c : controls_) {
    if (c->name() == name) return c;
  }
  return nullptr;
}

void Form::moveFocus(Control* control) {
  if (control == focused_) return;
  Control* old = focused_;
  focused_ = control;
  if (focusObserver_) focusObserver_();
  if (auto* box = dynamic_cast<TextBox*>(old); box != nullptr && box->LostFocus) box->LostFocus();
  // A LostFocus handler may itself have moved the focus on; then that move stands.
  if (focused_ != control) return;
  if (auto* box = dynamic_cast<TextBox*>(control); box != nullptr && box->GotFocus) {
    box->GotFocus();
  }
}

Control* Form::nextInTabOrder(const Control* from) const {
  std::vector<Control*> order;
  for (Control* c : controls_) {
    if (c->canFocus()) order.push_back(c);
  }
  if (order.empty()) return nullptr;
  std::stable_sort(order.begin(), order.end(),
                   [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
  const int fromIndex = from != nullptr ? from->tabIndex : -1;
  for (Control* c : order) {
    if (c->tabIndex > fromIndex) return c;
  }
  return order.front();
}

}  // namespace qm
