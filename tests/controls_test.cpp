#include "window/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace qm {
namespace {

struct Sample : Form {
  Sample() : Form("Sample") {
    std::tie(box.tabIndex, other.tabIndex, button.tabIndex) = std::tuple(1, 2, 3);
    std::tie(a.container, b.container, c.container) = std::tuple(&frame, &frame, &elsewhere);
  }
  Frame frame{*this, "frame"};
  Frame elsewhere{*this, "elsewhere"};
  TextBox box{*this, "box"};
  TextBox other{*this, "other"};
  CommandButton button{*this, "button"};
  OptionButton a{*this, "a"};
  OptionButton b{*this, "b"};
  OptionButton c{*this, "c"};
  CheckBox check{*this, "check"};
};

// Events run only on a real change, before the setter returns; option buttons exclude each
// other within their frame only, and clearing one raises nothing; clicks do nothing on a
// disabled or hidden control. Focus raises LostFocus before GotFocus, once; the tab order
// passes a disabled control and wraps.
TEST(Controls, EventsAndFocus) {
  Sample f;
  std::vector<std::string> seen;
  f.box.Change = [&] { seen.push_back("change:" + f.box.text()); };
  f.check.Click = [&] { seen.push_back("check:" + std::to_string(f.check.value())); };
  f.b.Click = [&] { seen.push_back("b"); };
  f.button.Click = [&] { seen.push_back("button"); };
  f.box.GotFocus = [&] { seen.push_back("box+"); };
  f.box.LostFocus = [&] { seen.push_back("box-"); };
  f.other.GotFocus = [&] { seen.push_back("other+"); };
  for (int i = 0; i < 2; ++i) {
    f.box.setText("x");
    f.check.setValue(i ? 5 : 1);  // still "checked" the second time: no second event
    f.c.setValue(true);
    f.b.setValue(true);
    f.button.setEnabled(i);
    f.button.setVisible(!i);
    f.button.click();
    f.box.setFocus();
  }
  f.button.setVisible(true);
  f.button.click();
  f.a.setValue(true);
  f.check.setEnabled(false);
  f.check.click();
  f.other.setFocus();
  EXPECT_EQ(seen, (std::vector<std::string>{"change:x", "check:1", "b", "box+", "button", "box-",
                                            "other+"}));
  EXPECT_EQ(std::tuple(f.a.value(), f.b.value(), f.c.value()), std::tuple(true, false, true));
  f.other.setEnabled(false);
  EXPECT_EQ(f.nextInTabOrder(&f.box), &f.button);
  EXPECT_EQ(f.nextInTabOrder(&f.button), &f.box);  // wraps around
}

}  // namespace
}  // namespace qm
