// Puts a form model on screen: one Qt widget per control, kept in step with the model in both
// directions. The skin only mirrors; every decision stays with the form's handlers.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QObject>
#include <QRect>
#include <QString>

#include "window/controls.h"

class QLineEdit;
class QWidget;

namespace qm {

// Twips to device-independent pixels: 15 twips to a pixel, so high-DPI screens scale the layout.
inline constexpr int kTwipsPerPixel = 15;
QRect pixelRect(const Twips& twips);

// Model texts are UTF-8 and count characters (code points); Qt's strings count UTF-16 units.
QString toQString(const std::string& text);
std::string fromQString(const QString& text);
int unitsForChars(const QString& text, int chars);
int charsForUnits(const QString& text, int units);

class FormSkin : public QObject {
  Q_OBJECT

 public:
  // Builds the widgets of `form` inside `client`, which gets the form's fixed client size, and
  // its window the form's caption.
  FormSkin(Form& form, QWidget& client);
  ~FormSkin() override;

  Form& form() const { return form_; }
  QWidget& client() const { return client_; }
  QWidget* widgetOf(const Control& control) const;
  // The control a widget (or one of its inner widgets) stands for; null for anything else.
  Control* controlOf(const QWidget* widget) const;

  // The window's title, asked again after every change of a control; unset, the form's caption.
  void setTitle(std::function<std::string()> title) { title_ = std::move(title); }

 private:
  struct Binding {
    Control* control = nullptr;
    QWidget* widget = nullptr;
    bool ownName = false;  // a name of its own rather than its caption
  };

  QWidget* create(Control& control, QWidget& parent);
  void connectInput(Control& control, QWidget& widget);
  void sync(Control& control);
  void syncText(const TextBox& box, QLineEdit& edit);
  void syncAll();
  void syncFocus();
  void setTabOrder();
  void setLabelTargets();
  void focusChanged(QWidget* now);
  Binding* bindingOf(const Control& control);

  Form& form_;
  QWidget& client_;
  std::function<std::string()> title_;
  std::vector<Binding> bindings_;
  std::unordered_map<const Control*, std::size_t> byControl_;
  std::unordered_map<const QWidget*, Control*> byWidget_;
  const Control* editing_ = nullptr;  // the text box whose typed text the model is taking
  int applying_ = 0;                  // depth of model changes being put on the widgets
  struct Applying {
    explicit Applying(int& depth) : depth_(depth) { ++depth_; }
    ~Applying() { --depth_; }
    Applying(const Applying&) = delete;
    Applying& operator=(const Applying&) = delete;
    int& depth_;
  };
};

}  // namespace qm
