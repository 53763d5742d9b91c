#include "window/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

struct Sample : Form {
  Sample() : Form("Sample") {
    box.tabIndex = 1;
    other.tabIndex = 2;
    button.tabIndex = 3;
    a.container = &frame;
    b.container = &frame;
    c.container = &elsewhere;
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
  ComboBox combo{*this, "combo"};
};

TEST(Controls, EventsRunOnlyOnRealChangeAndBeforeTheSetterReturns) {
  Sample f;
  std::vector<std::string> seen;
  f.box.Change = [&] { seen.push_back("change:" + f.box.text()); };
  f.check.Click = [&] { seen.push_back("check:" + std::to_string(f.check.value())); };
  f.combo.Click = [&] { seen.push_back("combo:" + f.combo.text()); };
  f.combo.addItem("b");
  f.combo.addItem("Kb");

  f.box.setText("x");
  f.box.setText("x");
  f.check.setValue(1);
  f.check.setValue(5);  // still "checked": no second event
  f.check.setValue(0);
  f.combo.setListIndex(1);
  f.combo.setListIndex(1);
  EXPECT_EQ(seen, (std::vector<std::string>{"change:x", "check:1", "check:0", "combo:Kb"}));
}

TEST(Controls, OptionButtonsAreExclusiveWithinTheirFrameOnly) {
  Sample f;
  int clicks = 0;
  f.b.Click = [&] { ++clicks; };
  f.a.setValue(true);
  f.c.setValue(true);
  f.b.setValue(true);
  EXPECT_FALSE(f.a.value());
  EXPECT_TRUE(f.b.value());
  EXPECT_TRUE(f.c.value());  // another frame, another group
  f.b.setValue(true);
  f.a.setValue(true);  // clearing b raises nothing
  EXPECT_EQ(clicks, 1);
}

TEST(Controls, UserClicksDoNothingOnDisabledOrHiddenControls) {
  Sample f;
  int clicks = 0;
  f.button.Click = [&] { ++clicks; };
  f.button.setEnabled(false);
  f.button.click();
  f.button.setEnabled(true);
  f.button.setVisible(false);
  f.button.click();
  f.button.setVisible(true);
  f.button.click();
  f.check.setEnabled(false);
  f.check.click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(f.check.value(), 0);
}

TEST(Controls, FocusMovesRaiseLostThenGotAndFollowTheTabOrder) {
  Sample f;
  std::vector<std::string> seen;
  f.box.GotFocus = [&] { seen.push_back("box+"); };
  f.box.LostFocus = [&] { seen.push_back("box-"); };
  f.other.GotFocus = [&] { seen.push_back("other+"); };
  f.box.setFocus();
  f.box.setFocus();
  f.other.setFocus();
  EXPECT_EQ(seen, (std::vector<std::string>{"box+", "box-", "other+"}));

  EXPECT_EQ(f.nextInTabOrder(&f.box), &f.other);
  f.other.setEnabled(false);
  EXPECT_EQ(f.nextInTabOrder(&f.box), &f.button);
  EXPECT_EQ(f.nextInTabOrder(&f.button), &f.box);  // wraps around
}

TEST(Controls, SelectionIsCountedInCharactersAndFollowsTheText) {
  Sample f;
  f.box.setText("\xC3\xA9t\xC3\xA9");  // été
  f.box.setSelection(0, 99);
  EXPECT_EQ(f.box.selLength(), 3);
  f.box.setText("a");
  EXPECT_EQ(f.box.selStart() + f.box.selLength(), 1);
}

}  // namespace
}  // namespace qm
