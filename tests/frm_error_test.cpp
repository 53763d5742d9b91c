#include "window/frm_error.h"

#include <gtest/gtest.h>

#include "tests/fakes/scripted_pump.h"

namespace qm {
namespace {

struct Dialog {
  // Opens the dialog for `code` as a caller would.
  void show(int code) {
    state.MessageCode = static_cast<std::int16_t>(code);
    form.Form_Load();
  }
  // The buttons shown, by name.
  std::string buttons() const {
    std::string shown;
    for (const CommandButton* b : {&form.cmdOk, &form.cmdYes, &form.cmdNo}) {
      if (b->visible()) shown += b->name() + " ";
    }
    return shown;
  }

  JobState state;
  test::ScriptedPump pump;
  frmError form{state, pump};
};

TEST(MessageDialog, QuestionsLeaveTheirAnswerInTheCode) {
  struct Case {
    int code;
    void (frmError::*answer)();
    int left;
  };
  for (const Case& c :
       {Case{4, &frmError::cmdYes_Click, 0}, Case{4, &frmError::cmdNo_Click, 4},
        Case{8, &frmError::cmdYes_Click, 8}, Case{8, &frmError::cmdNo_Click, 0},
        Case{4, &frmError::Form_QueryUnload, 4}, Case{8, &frmError::Form_QueryUnload, 0}}) {
    Dialog d;
    d.show(c.code);
    EXPECT_EQ(d.buttons(), "cmdYes cmdNo ");
    EXPECT_EQ(d.form.focused(), &d.form.cmdYes);
    (d.form.*c.answer)();
    EXPECT_EQ(d.state.MessageCode, c.left) << c.code;
    EXPECT_FALSE(d.form.isOpen());
    EXPECT_EQ(d.buttons(), "");
  }
}

TEST(MessageDialog, OneButtonMessagesAlwaysLeaveZero) {
  for (int code : {1, 2, 3, 5, 6, 7, 9}) {
    for (bool escape : {false, true}) {
      Dialog d;
      int unloaded = 0;
      d.form.Unloaded = [&] { ++unloaded; };
      d.state.MessageDetail = "Could not read \"/x\": Permission denied.";
      d.show(code);
      EXPECT_EQ(d.buttons(), "cmdOk ") << code;
      EXPECT_EQ(d.form.focused(), &d.form.cmdOk);
      EXPECT_FALSE(d.form.Label1.caption().empty());
      if (escape) {
        d.form.Form_QueryUnload();
      } else {
        d.form.cmdOk.click();
      }
      EXPECT_EQ(d.state.MessageCode, 0) << code;
      EXPECT_EQ(unloaded, 1);
      // A second close of a closed dialog changes nothing.
      d.state.MessageCode = 5;
      d.form.Form_QueryUnload();
      EXPECT_EQ(d.state.MessageCode, 5);
    }
  }
  Dialog d;
  d.state.MessageDetail = "the reason.";
  d.show(9);
  EXPECT_EQ(d.form.Label1.caption(), "Error #009 : the reason.");
}

TEST(MessageDialog, AQuestionAfterAnOkMessageShowsOnlyYesAndNo) {
  Dialog d;
  d.show(2);
  d.form.cmdOk.click();
  d.show(4);
  EXPECT_EQ(d.buttons(), "cmdYes cmdNo ");
  EXPECT_EQ(d.form.Label1.caption(),
            "Warning! The file you are about to create exists! Overwrite?");
  d.form.cmdNo.click();
  d.show(7);
  EXPECT_EQ(d.buttons(), "cmdOk ");
  // Yes and No let the window breathe before the caller goes on.
  d.form.cmdOk.click();
  const int before = d.pump.calls;
  d.show(8);
  d.form.cmdNo.click();
  EXPECT_GT(d.pump.calls, before);
}

}  // namespace
}  // namespace qm
