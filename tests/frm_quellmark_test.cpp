#include "window/frm_quellmark.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "tests/fakes/window_fixture.h"

namespace qm::test {
namespace {

// The window as the desktop program starts it, with relative names resolving in its folder.
struct Window : WindowFixture {
  Window() {
    fs.current = folder.path();
    form.CloseWindow = [this] { ++closed; };
    form.Form_Load("");
  }
  int closed = 0;
};
class MainWindow : public ::testing::Test, public Window {};

TEST_F(MainWindow, CustomSizeAndPreviewFollowTheField) {
  // The number and the unit (negative: picked after typing, so that picking Mb caps the field at
  // 1000), the source's length, the part size and the count shown.
  using Case = std::tuple<const char*, int, std::uintmax_t, std::int32_t, const char*>;
  // clang-format off
  const Case cases[] = {{"2.5", 1, 6144, 2048, "3"}, {"12abc", 1, 12289, 12288, "2"}, {"-5", 1, 6144, 0, "0"},
                        {"3000", 2, 1, 0, "0"}, {"5000", -2, 1048576001, 1048576000, "2"}};
  // clang-format on
  for (const auto& [number, unit, length, size, shown] : cases) {
    SCOPED_TRACE(testing::Message() << number << " " << unit << " " << length);
    makeSparse("src.bin", length);
    form.LoadSource(path("src.bin"));
    form.Option6.click();
    form.Combo1.setListIndex(std::max(unit, 0));
    form.txtSize.setText(number);
    form.Combo1.setListIndex(std::abs(unit));
    EXPECT_EQ(state.SplitSize, size);
    EXPECT_EQ(form.lblNumber.caption(), shown);
  }
}

TEST_F(MainWindow, LoadSourceChoosesTheModeDestinationAndCount) {
  writePartSet("movie");
  writeFile("MOVIE.QKD", "Movie.avi\r\n12\r\n");
  makeSparse("report.txt", 2000000);
  for (const char* name : {"x.tar.gz", "README", "page.html"})
    makeSparse(name, 10);
  // From a Join or a Split window ("./" for a relative name): the destination and the count.
  // Already splitting, a name without a dot among its last four characters keeps the old one.
  using Case = std::tuple<const char*, const char*, const char*, const char*>;
  // clang-format off
  const Case cases[] = {
      {"report.txt", "movie.qkd", "movie.avi", "3"}, {"report.txt", "MOVIE.QKD", "Movie.avi", "12"},
      {"movie.qkd", "./report.txt", "report.qkd", "3"}, {"movie.qkd", "x.tar.gz", "x.tar.qkd", "1"},
      {"movie.qkd", "README", "README.qkd", "1"}, {"report.txt", "page.html", "report.qkd", "1"}};
  // clang-format on
  for (const auto& [before, given, dest, shown] : cases) {
    SCOPED_TRACE(std::string(before) + " then " + given);
    const std::string name = given + (given[0] == '.' ? 2 : 0);  // without "./"
    form.LoadSource(path(before));
    form.LoadSource(given[0] == '.' ? given : path(given));
    EXPECT_EQ(form.optJoin.value(), std::string(dest).ends_with(".avi"));
    EXPECT_EQ(form.txtSource.text(), path(name));
    EXPECT_EQ(state.SourceTitle, name);
    EXPECT_EQ(form.txtDest.text(), path(dest));
    EXPECT_EQ(form.lblNumber.caption(), shown);
  }
}

TEST_F(MainWindow, BeginAndTheTriggersRefuseWhatCannotRun) {
  makeSparse("movie.avi", 2000000);
  form.LoadSource(path("movie.avi"));
  form.txtSource.setText(path("gone.avi"));
  form.Check1.setValue(1);  // no source, by the trigger
  form.txtSource.setText(path("movie.avi"));
  form.Option6.click();
  form.txtSize.setText("2003");  // 999 parts
  EXPECT_TRUE(form.CheckBeforeRun());
  form.txtSize.setText("2000");  // 1000 parts: "1000+"
  form.Check2.setValue(1);
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, (std::vector<int>{2, 5, 5}));
  EXPECT_EQ(form.Check1.value() + form.Check2.value(), 0);
  EXPECT_EQ(snapshot().size(), 1u);  // movie.avi
}

// Each run is interrupted in its second block (a split: in part 2) by Cancel, Exit or the
// frame's close box, and the question answered. Meanwhile the window is locked.
TEST(MainWindowRun, CancelOrCloseDuringARunAsksAndObeysTheAnswer) {
  enum How { Cancel, Exit, Close };
  using Case = std::tuple<bool, How, bool>;  // join, how, Yes
  // clang-format off
  const Case cases[] = {{false, Cancel, false}, {true, Cancel, true}, {false, Close, false},
                        {false, Exit, true}, {true, Close, true}};
  // clang-format on
  for (const auto& [join, how, yes] : cases) {
    SCOPED_TRACE(testing::Message() << "join " << join << " how " << how << " yes " << yes);
    Window w;
    const std::string whole = join ? w.writePartSet("movie") : JobFixture::pattern(2000000);
    if (!join) w.writeFile("movie.avi", whole);
    const std::string source = w.path(join ? "movie.qkd" : "movie.avi");
    w.form.LoadSource(source);
    const auto before = w.snapshot();
    w.display.answers = {yes ? Answer::Yes : Answer::No};
    // Pressed twice before the block ends, or again once confirmed: one question all the same.
    const int block = join ? 2 : 14, presses = how == Cancel || yes ? 2 : 1;
    w.pump.onEvents = [&w, block, presses, how = how, seen = 0](int) mutable {
      if (!w.pump.inBlockPause() || ++seen != block) return;
      EXPECT_FALSE(w.form.optJoin.enabled() || w.form.txtSource.enabled());  // locked
      for (int press = 0; press < presses; ++press) {
        if (how == Cancel) w.form.cmdCancel.click();
        if (how == Exit) w.form.cmdExit.click();
        EXPECT_TRUE(how != Close || !w.form.Form_QueryUnload());  // not yet: after the run
      }
      EXPECT_EQ(w.closed, 0);
    };
    w.form.cmdBegin.click();
    EXPECT_EQ(w.display.codes, (yes ? std::vector<int>{8, 7} : std::vector<int>{8}));
    // Yes: everything as before the run; No (a split): the run went on to the full result.
    EXPECT_TRUE(yes ? w.snapshot() == before
                    : w.readFile("movie.001") + w.readFile("movie.002") + w.readFile("movie.003") ==
                          whole);
    EXPECT_EQ(w.closed, how != Cancel && yes ? 1 : 0);
    EXPECT_EQ(w.form.txtSource.text(), source);
    EXPECT_TRUE(w.form.cmdBegin.visible() && w.form.optJoin.enabled());
  }
}

}  // namespace
}  // namespace qm::test
