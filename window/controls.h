// Toolkit-free models of the window controls. Each holds its state and raises its events
// synchronously: a setter that really changes the value runs the handler before it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

class Form;

// Position and size in twips, relative to the container.
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// How a skin should paint a control; the models never look at it.
enum class ColourRole { Default, ValueField };

using Handler = std::function<void()>;

class Control {
 public:
  Control(Form& form, std::string name);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const std::string& name() const { return name_; }
  Form& form() const { return form_; }

  bool enabled() const { return enabled_; }
  void setEnabled(bool on);
  bool visible() const { return visible_; }
  void setVisible(bool on);

  // Layout, fixed when the form is built.
  Control* container = nullptr;
  Twips rect;
  int tabIndex = -1;  // -1: never takes the focus
  ColourRole colour = ColourRole::Default;
  bool bold = false;

  // True when the control can take the keyboard focus right now.
  virtual bool canFocus() const;

  // The skin's hook: called after any change of state, so the widget can follow.
  void setObserver(Handler observer) { observer_ = std::move(observer); }

 protected:
  void changed() const;

 private:
  Form& form_;
  std::string name_;
  bool enabled_ = true;
  bool visible_ = true;
  Handler observer_;
};

// A frame: a plain container without caption. Option buttons inside one frame form a group.
class Frame : public Control {
 public:
  using Control::Control;
  bool canFocus() const override { return false; }
};

class Label : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(std::string text);
  bool canFocus() const override { return false; }
  // For the skin: the user may select and copy the caption (a message that names a path).
  bool selectable = false;

 private:
  std::string caption_;
};

class CommandButton : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(std::string text);
  // A user's click or access key: does nothing while disabled or hidden.
  void click();
  Handler Click;

 private:
  std::string caption_;
};

class TextBox : public Control {
 public:
  using Control::Control;
  const std::string& text() const { return text_; }
  // Raises Change when the text differs from before.
  void setText(std::string text);
  // Selection in characters (not bytes).
  int selStart() const { return selStart_; }
  int selLength() const { return selLength_; }
  void setSelection(int start, int length);
  void setFocus();

  Handler Change;
  Handler GotFocus;
  Handler LostFocus;

 private:
  std::string text_;
  int selStart_ = 0;
  int selLength_ = 0;
};

class CheckBox : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(std::string text);
  int value() const { return value_; }  // 0 clear, 1 checked
  // Raises Click when the value changes, whether the user or the program changed it.
  void setValue(int value);
  // A user's click: toggles, unless disabled or hidden.
  void click();
  Handler Click;

 private:
  std::string caption_;
  int value_ = 0;
};

// An option button; those sharing a container form one exclusive group.
class OptionButton : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(std::string text);
  bool value() const { return value_; }
  // Selecting clears the others of the group and raises Click; clearing raises nothing.
  void setValue(bool on);
  void click();
  Handler Click;

 private:
  std::string caption_;
  bool value_ = false;
};

// A drop-down list of texts, each with an item value.
class ComboBox : public Control {
 public:
  using Control::Control;
  int addItem(std::string text);  // returns the new entry's index
  int listCount() const { return static_cast<int>(items_.size()); }
  const std::string& list(int index) const { return items_.at(static_cast<size_t>(index)).text; }
  std::int32_t itemData(int index) const { return items_.at(static_cast<size_t>(index)).data; }
  void setItemData(int index, std::int32_t data);
  int listIndex() const { return listIndex_; }  // -1: nothing selected
  // Raises Click when the selection changes.
  void setListIndex(int index);
  std::string text() const { return listIndex_ < 0 ? std::string() : list(listIndex_); }
  Handler Click;

 private:
  struct Item {
    std::string text;
    std::int32_t data = 0;
  };
  std::vector<Item> items_;
  int listIndex_ = -1;
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  int value() const { return value_; }
  void setValue(int percent);  // clamped to 0..100
  bool canFocus() const override { return false; }

 private:
  int value_ = 0;
};

// The window that owns controls: keeps the focus and the list of controls in creation order.
class Form {
 public:
  explicit Form(std::string name) : name_(std::move(name)) {}
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form() = default;

  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }
  void setCaption(std::string text) { caption_ = std::move(text); }
  Twips client;  // client area in twips

  const std::vector<Control*>& controls() const { return controls_; }
  Control* find(const std::string& name) const;

  // Moves the keyboard focus: LostFocus of the old control, then GotFocus of the new one.
  Control* focused() const { return focused_; }
  void moveFocus(Control* control);
  // The next control in tab order after `from` that can take the focus (wraps around).
  Control* nextInTabOrder(const Control* from) const;

  // The skin's hook for focus moves made by the program.
  void setFocusObserver(Handler observer) { focusObserver_ = std::move(observer); }

 private:
  friend class Control;
  std::string name_;
  std::string caption_;
  std::vector<Control*> controls_;
  Control* focused_ = nullptr;
  Handler focusObserver_;
};

}  // namespace qm
