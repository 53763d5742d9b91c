#include "window/frm_error.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/fakes/scripted_pump.h"

namespace qm {
namespace {

// One dialog shows every message in turn, so each one also shows that the one before left no
// button, focus or code behind.
TEST(MessageDialog, EveryAnswerLeavesItsCodeAndTheNextMessageStartsClean) {
  JobState state;
  test::ScriptedPump pump;
  frmError form{state, pump};
  // The message, the button that answers it (none: Escape or the frame's close box), the code
  // left for the caller.
  using Case = std::tuple<int, CommandButton frmError::*, int>;
  const Case cases[] = {{1, &frmError::cmdOk, 0}, {4, &frmError::cmdYes, 0},
                        {2, nullptr, 0},          {4, &frmError::cmdNo, 4},
                        {4, nullptr, 4},          {8, &frmError::cmdYes, 8},
                        {9, &frmError::cmdOk, 0}, {8, &frmError::cmdNo, 0},
                        {8, nullptr, 0},          {10, &frmError::cmdOk, 0}};
  for (const auto& [code, button, left] : cases) {
    SCOPED_TRACE(testing::Message() << code << (button ? "" : " closed"));
    const bool question = code == 4 || code == 8;
    state.MessageCode = static_cast<std::int16_t>(code);
    form.Form_Load();
    EXPECT_EQ(form.cmdOk.visible(), !question);
    EXPECT_EQ(form.cmdYes.visible() + form.cmdNo.visible(), question ? 2 : 0);
    EXPECT_EQ(form.focused(), question ? &form.cmdYes : &form.cmdOk);
    if (button) (form.*button).click();
    if (!button) form.Form_QueryUnload();
    EXPECT_EQ(state.MessageCode, left);
    EXPECT_FALSE(form.isOpen());
    state.MessageCode = 5;  // closing it again changes nothing
    form.Form_QueryUnload();
    EXPECT_EQ(state.MessageCode, 5);
  }
}

}  // namespace
}  // namespace qm
