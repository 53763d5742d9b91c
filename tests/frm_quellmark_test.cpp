#include "window/frm_quellmark.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine/messages.h"
#include "platform/posix_file_system.h"
#include "tests/fakes/fault_file_system.h"
#include "tests/fakes/job_fixture.h"
#include "tests/fakes/scripted_dialogs.h"
#include "tests/fakes/scripted_display.h"

namespace qm::test {
namespace {

// The current folder pinned to the test's own folder, so relative names resolve there.
class PinnedFolderFileSystem : public FaultFileSystem {
 public:
  using FaultFileSystem::FaultFileSystem;
  std::string CurrentFolder() override { return current; }
  std::string current;
};

class MainWindow : public ::testing::Test {
 protected:
  MainWindow() {
    fs.current = folder.path();
    form.CloseWindow = [this] { ++closed; };
    form.AcceptDrops = [this](bool on) { drops.push_back(on); };
    form.RegisterFileType = [this] { ++registered; };
  }

  void start(const std::string& commandLine = "") { form.Form_Load(commandLine); }

  std::string path(const std::string& name) const { return folder.path() + name; }
  std::string home() {
    const std::string named = posix.HomeFolder();
    return named.ends_with('/') ? named : named + "/";
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  // A file of `length` bytes that takes no room on the disk.
  void sized(const std::string& name, std::uintmax_t length) const {
    write(name, "");
    std::filesystem::resize_file(path(name), length);
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Types into the source box and tabs out of it.
  void leaveSource(const std::string& text) {
    form.txtSource.setFocus();
    form.txtSource.setText(text);
    form.moveFocus(&form.cmdSource);
  }
  // Picks Custom, then the unit, then types the number.
  void custom(const std::string& number, int unit) {
    form.Option6.click();
    form.Combo1.setListIndex(unit);
    form.txtSize.setText(number);
  }
  // Runs `action` in the pause after block `block` (1-based, counted over the whole run).
  void atBlock(int block, std::function<void()> action) {
    pump.onEvents = [this, block, action, seen = 0](int) mutable {
      if (pump.inBlockPause() && ++seen == block) action();
    };
  }
  // A set of three parts and its data file, as a split of movie.avi would leave them.
  std::string writePartSet() const {
    const std::string whole = JobFixture::pattern(200000);
    write("movie.001", whole.substr(0, 80000));
    write("movie.002", whole.substr(80000, 80000));
    write("movie.003", whole.substr(160000));
    write("movie.qkd", "movie.avi\r\n3\r\n");
    return whole;
  }
  std::string allParts(const std::string& stem, int count) const {
    std::string bytes;
    for (int i = 1; i <= count; ++i)
      bytes += read(stem + (i < 10 ? ".00" : ".0") + std::to_string(i));
    return bytes;
  }

  TempFolder folder;
  PosixFileSystem posix;
  PinnedFolderFileSystem fs{posix};
  FixturePump pump;
  JobState state;
  ScriptedDisplay display{state, pump};
  Services services{fs, pump, display};
  ScriptedFileDialog dialogs;
  ScriptedHelpViewer help;
  frmQuellmark form{state, services, dialogs, help};
  int closed = 0;
  int registered = 0;
  std::vector<bool> drops;
};

// ---- Start state and layout ----

TEST_F(MainWindow, StartsInJoinModeWithTheSplitSettingsOff) {
  start();
  EXPECT_EQ(form.caption(), "Quellmark v1.0");
  EXPECT_TRUE(form.optJoin.value());
  EXPECT_FALSE(form.optSplit.value());
  EXPECT_TRUE(form.Option4.value());
  EXPECT_EQ(state.SplitSize, 737280);
  EXPECT_EQ(state.BlockSize, 65000);
  EXPECT_EQ(state.SizeUnit, 1);
  EXPECT_EQ(form.txtSize.text(), "0");
  EXPECT_EQ(form.Combo1.text(), "b");
  ASSERT_EQ(form.Combo1.listCount(), 3);
  EXPECT_EQ(form.Combo1.list(2), "Mb");
  EXPECT_EQ(form.Combo1.itemData(2), 2);
  EXPECT_EQ(form.lblNumber.caption(), "0");
  for (Control* c : std::initializer_list<Control*>{
           &form.Option1, &form.Option2, &form.Option3, &form.Option4, &form.Option5, &form.Option6,
           &form.chkSelfJoin, &form.txtSize, &form.Combo1}) {
    EXPECT_FALSE(c->enabled()) << c->name();
  }
  EXPECT_TRUE(form.chkDelete.enabled());
  EXPECT_EQ(form.chkDelete.value() + form.chkAutoStart.value() + form.chkSelfJoin.value(), 0);
  EXPECT_TRUE(form.cmdBegin.visible());
  EXPECT_FALSE(form.cmdCancel.visible());
  EXPECT_FALSE(form.Check1.visible());
  EXPECT_TRUE(form.txtSource.text().empty() && form.txtDest.text().empty());
  EXPECT_EQ(form.dialogFolder(), home());
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(drops, std::vector<bool>{true});
  EXPECT_TRUE(display.codes.empty());
}

TEST_F(MainWindow, KeyboardOrderAndAccessKeysFollowTheLayout) {
  start();
  form.optSplit.click();
  form.Option6.click();
  std::vector<std::string> order;
  for (Control* c = form.nextInTabOrder(nullptr); c != nullptr && order.size() < 30;
       c = form.nextInTabOrder(c)) {
    if (!order.empty() && c->name() == order.front()) break;
    order.push_back(c->name());
  }
  EXPECT_EQ(order, (std::vector<std::string>{
                       "txtSource",    "cmdSource",   "txtDest",  "cmdDest", "optJoin",
                       "optSplit",     "Option4",     "Option3",  "Option1", "Option2",
                       "Option5",      "Option6",     "txtSize",  "Combo1",  "chkDelete",
                       "chkAutoStart", "chkSelfJoin", "cmdBegin", "cmdHelp", "cmdExit"}));
  // A label's access key leads to the next control that can take the focus.
  EXPECT_EQ(form.nextInTabOrder(&form.lblSource), &form.cmdSource);
  EXPECT_EQ(form.nextInTabOrder(&form.lblDest), &form.cmdDest);
  EXPECT_EQ(form.nextInTabOrder(&form.Label1), &form.txtSize);
}

TEST_F(MainWindow, EveryControlFitsInsideItsContainer) {
  for (const Control* c : form.controls()) {
    const Twips outer = c->container != nullptr ? c->container->rect : form.client;
    EXPECT_LE(c->rect.left + c->rect.width, outer.width) << c->name();
    EXPECT_LE(c->rect.top + c->rect.height, outer.height) << c->name();
    EXPECT_GT(c->rect.width, 0) << c->name();
  }
  EXPECT_EQ(form.cmdCancel.rect.left, form.cmdBegin.rect.left);
  EXPECT_EQ(form.cmdCancel.rect.top, form.cmdBegin.rect.top);
  EXPECT_EQ(form.cmdCancel.container, form.cmdBegin.container);
  EXPECT_EQ(form.lblNumber.colour, ColourRole::ValueField);
  EXPECT_EQ(form.lblSectionNum.colour, ColourRole::ValueField);
  EXPECT_EQ(form.lblNum.colour, ColourRole::Default);
}

// ---- Modes and the enabling table ----

TEST_F(MainWindow, SplitSettingsAreUsableInSplitModeOrWithAutoStart) {
  start();
  // Every combination, each reached from the one before, so every way in is walked.
  for (int round = 0; round < 2; ++round) {
    for (int combo = 0; combo < 8; ++combo) {
      const int c = round == 0 ? combo : 7 - combo;
      const bool split = (c & 1) != 0;
      const int autoStart = (c >> 1) & 1;
      const bool customSize = (c & 4) != 0;
      form.chkAutoStart.setValue(1);
      (customSize ? form.Option6 : form.Option2).click();
      (split ? form.optSplit : form.optJoin).click();
      form.chkAutoStart.setValue(autoStart);
      const bool settings = split || autoStart == 1;
      SCOPED_TRACE("split " + std::to_string(split) + " auto " + std::to_string(autoStart) +
                   " custom " + std::to_string(customSize));
      EXPECT_EQ(form.Option1.enabled(), settings);
      EXPECT_EQ(form.Option6.enabled(), settings);
      EXPECT_EQ(form.chkSelfJoin.enabled(), settings);
      EXPECT_EQ(form.txtSize.enabled(), settings && customSize);
      EXPECT_EQ(form.Combo1.enabled(), settings && customSize);
      EXPECT_TRUE(form.chkDelete.enabled() && form.txtSource.enabled() && form.cmdDest.enabled());
    }
  }
}

TEST_F(MainWindow, ModeSwitchEmptiesTheFieldsAndKeepsTheChoices) {
  start();
  form.optSplit.click();
  form.Option2.click();
  form.chkDelete.click();
  form.chkSelfJoin.click();
  form.txtSource.setText(path("a.bin"));
  form.txtDest.setText(path("a.qkd"));
  form.lblNumber.setCaption("7");
  form.optJoin.click();
  EXPECT_EQ(form.txtSource.text(), "");
  EXPECT_EQ(form.txtDest.text(), "");
  EXPECT_EQ(form.lblNumber.caption(), "0");
  form.chkAutoStart.setValue(1);
  form.txtDest.setText("x");
  form.optSplit.click();
  EXPECT_EQ(form.txtDest.text(), "");
  EXPECT_TRUE(form.Option2.value());
  EXPECT_EQ(state.SplitSize, 2621440);
  EXPECT_EQ(form.chkDelete.value() + form.chkSelfJoin.value() + form.chkAutoStart.value(), 3);
}

// ---- Size selection and the preview ----

TEST_F(MainWindow, FixedSizesCountPartsAroundTheirBoundaries) {
  start();
  struct Case {
    OptionButton* option;
    std::uintmax_t length;
    const char* shown;
  };
  for (const Case& c : {Case{&form.Option1, 1457664, "1"}, Case{&form.Option1, 1457665, "2"},
                        Case{&form.Option4, 7372800, "10"}, Case{&form.Option4, 7372801, "11"},
                        Case{&form.Option3, 0, "1"}, Case{&form.Option5, 5242880 * 3, "3"},
                        Case{&form.Option2, 2621441, "2"}}) {
    sized("src.bin", c.length);
    form.LoadSource(path("src.bin"));
    c.option->click();
    EXPECT_EQ(form.lblNumber.caption(), c.shown) << c.option->name() << " " << c.length;
  }
  form.txtSource.setText(path("missing.bin"));
  EXPECT_EQ(form.lblNumber.caption(), "0");
}

TEST_F(MainWindow, PreviewShows999ButNotATousandParts) {
  start();
  sized("src.bin", 999);
  form.LoadSource(path("src.bin"));
  custom("1", 0);
  EXPECT_EQ(form.lblNumber.caption(), "999");
  EXPECT_TRUE(form.CheckBeforeRun());
  EXPECT_TRUE(display.codes.empty());
  sized("src.bin", 1000);
  form.txtSize.setText("1.0");  // same size; the preview measures the file again
  EXPECT_EQ(form.lblNumber.caption(), "1000+");
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, std::vector<int>{kMsgTooManyParts});
  EXPECT_EQ(files(), (std::vector<std::string>{"src.bin"}));
}

TEST_F(MainWindow, CustomNumbersAreReadRoundedAndCapped) {
  start();
  sized("src.bin", 10000);
  form.LoadSource(path("src.bin"));
  custom("2.5", 1);
  EXPECT_EQ(state.CustomSize, 2);
  EXPECT_EQ(state.SplitSize, 2048);
  EXPECT_EQ(form.lblNumber.caption(), "5");
  form.txtSize.setText("3.5");
  EXPECT_EQ(state.SplitSize, 4096);
  form.txtSize.setText("12abc");
  EXPECT_EQ(state.SplitSize, 12 * 1024);
  for (const char* unusable : {"0.4", "", "abc", "-5", "0"}) {
    form.txtSize.setText("12");
    form.txtSize.setText(unusable);
    EXPECT_EQ(state.SplitSize, 0) << unusable;
    EXPECT_EQ(form.lblNumber.caption(), "0") << unusable;
  }
  // A unit picked while the field reads 0 changes neither the size nor the preview.
  form.txtSize.setText("0");
  state.SplitSize = 777;
  form.lblNumber.setCaption("42");
  form.Combo1.setListIndex(2);
  EXPECT_EQ(state.SplitSize, 777);
  EXPECT_EQ(form.lblNumber.caption(), "42");
  EXPECT_EQ(state.SizeUnit, 1048576);

  // Megabytes stop at 1000 when the unit is picked; other units never touch the text.
  form.Combo1.setListIndex(0);
  form.txtSize.setText("5000");
  form.Combo1.setListIndex(1);
  EXPECT_EQ(form.txtSize.text(), "5000");
  form.moveFocus(&form.Combo1);
  form.Combo1.setListIndex(2);
  EXPECT_EQ(form.txtSize.text(), "1000");
  EXPECT_EQ(state.SplitSize, 1048576000);
  EXPECT_EQ(form.focused(), &form.txtSize);
  EXPECT_EQ(form.txtSize.selLength(), 4);
  form.Combo1.setListIndex(0);
  form.txtSize.setText("1000.0");
  form.Combo1.setListIndex(2);
  EXPECT_EQ(form.txtSize.text(), "1000.0");

  // Typed past 32 bits: no usable size.
  form.txtSize.setText("2047");
  EXPECT_EQ(state.SplitSize, 2047 * 1048576);
  form.txtSize.setText("3000");
  EXPECT_EQ(state.SplitSize, 0);
  EXPECT_EQ(form.lblNumber.caption(), "0");
  form.Combo1.setListIndex(0);
  form.txtSize.setText("1e12");
  EXPECT_EQ(state.SplitSize, 0);

  // A fixed size and back: the custom size comes back from the untouched field.
  form.txtSize.setText("5000");
  form.Option2.click();
  EXPECT_FALSE(form.txtSize.enabled());
  EXPECT_EQ(state.SplitSize, 2621440);
  form.Option6.click();
  EXPECT_EQ(state.SplitSize, 5000);
  EXPECT_EQ(form.lblNumber.caption(), "2");
}

TEST_F(MainWindow, SizeChosenInJoinModeLeavesTheDataFilesCount) {
  start();
  writePartSet();
  form.chkAutoStart.setValue(1);
  form.LoadSource(path("movie.qkd"));
  form.Option1.click();
  custom("7", 0);
  form.txtSize.setText("0");
  EXPECT_EQ(form.lblNumber.caption(), "3");
  EXPECT_EQ(state.SplitSize, 0);
}

// ---- Source analysis ----

TEST_F(MainWindow, DataFileSwitchesToJoinInEitherCase) {
  start();
  writePartSet();
  write("MOVIE.QKD", "Movie.avi\r\n12\r\n");
  sized("report.txt", 2000000);
  for (const char* name : {"movie.qkd", "MOVIE.QKD"}) {
    form.LoadSource(path("report.txt"));
    ASSERT_TRUE(form.optSplit.value());
    form.LoadSource(path(name));
    EXPECT_TRUE(form.optJoin.value()) << name;
    EXPECT_EQ(form.txtSource.text(), path(name));
    EXPECT_EQ(state.SourceTitle, name);
    EXPECT_EQ(form.dialogFolder(), folder.path());
  }
  EXPECT_EQ(form.txtDest.text(), path("Movie.avi"));
  EXPECT_EQ(form.lblNumber.caption(), "12");
  // And back to Split: the preview is recomputed with the current size.
  form.LoadSource(path("report.txt"));
  EXPECT_EQ(form.txtDest.text(), path("report.qkd"));
  EXPECT_EQ(form.lblNumber.caption(), "3");
}

TEST_F(MainWindow, DestinationReplacesTheLastDotAmongTheLastFourCharacters) {
  start();
  struct Case {
    const char* source;
    const char* dest;
  };
  for (const Case& c :
       {Case{"x.tar.gz", "x.tar.qkd"}, Case{"a.b.c", "a.b.qkd"}, Case{"data.ab", "data.qkd"},
        Case{"README", "README.qkd"}, Case{"page.html", "page.html.qkd"}}) {
    sized(c.source, 10);
    form.optJoin.click();  // the switch into Split empties the destination
    form.LoadSource(path(c.source));
    EXPECT_EQ(form.txtDest.text(), path(c.dest)) << c.source;
  }
  // Already in Split mode, a name without a dot keeps the destination that was there.
  sized("report.txt", 10);
  form.LoadSource(path("report.txt"));
  form.LoadSource(path("page.html"));
  EXPECT_EQ(form.txtSource.text(), path("page.html"));
  EXPECT_EQ(form.txtDest.text(), path("report.qkd"));
}

TEST_F(MainWindow, LeavingTheSourceBoxAnalysesWhatWasTyped) {
  start();
  writePartSet();
  sized("report.txt", 100);
  form.optSplit.click();
  form.txtDest.setText(path("other.qkd"));
  leaveSource(path("movie.qkd"));
  EXPECT_TRUE(form.optJoin.value());
  EXPECT_EQ(form.txtDest.text(), path("movie.avi"));
  leaveSource(path("report.txt"));
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(form.txtDest.text(), path("report.qkd"));
  leaveSource(path("nothing.txt"));
  EXPECT_EQ(form.txtSource.text(), path("nothing.txt"));
  EXPECT_EQ(form.txtDest.text(), path("report.qkd"));
  EXPECT_TRUE(form.optSplit.value());
  // Entering a box selects its whole text.
  form.txtDest.setFocus();
  EXPECT_EQ(form.txtDest.selLength(), static_cast<int>(path("report.qkd").size()));
}

TEST_F(MainWindow, RelativeNamesAreTakenFromTheCurrentFolder) {
  start();
  sized("movie.avi", 100);
  writePartSet();
  leaveSource("./movie.avi");
  EXPECT_EQ(form.txtSource.text(), path("movie.avi"));
  EXPECT_EQ(form.txtDest.text(), path("movie.qkd"));
  EXPECT_EQ(state.SourceTitle, "movie.avi");
  EXPECT_EQ(form.dialogFolder(), folder.path());
  leaveSource("movie.qkd");
  EXPECT_TRUE(form.optJoin.value());
  EXPECT_EQ(form.txtSource.text(), path("movie.qkd"));
  EXPECT_EQ(form.txtDest.text(), path("movie.avi"));
}

TEST_F(MainWindow, UnreadableDataFileLeavesJoinModeEmptyAndSaysWhy) {
  write("broken.qkd", "movie.avi\r\nmany\r\n");
  write("locked.qkd", "movie.avi\r\n3\r\n");
  fs.failPath(Op::OpenRead, "locked.qkd", EACCES);
  sized("movie.avi", 100);
  start(path("broken.qkd"));  // the command line
  ASSERT_EQ(display.codes, std::vector<int>{kMsgFailure});
  EXPECT_NE(display.texts[0].find("Error #009 : "), std::string::npos);
  EXPECT_NE(display.details[0].find(path("broken.qkd")), std::string::npos);
  EXPECT_NE(display.details[0].find("Nothing was loaded."), std::string::npos);
  EXPECT_TRUE(form.optJoin.value());

  // Typed, from a filled Split window, from the dialog, and dropped onto a filled Join window.
  const std::function<void()> ways[] = {[&] { leaveSource(path("locked.qkd")); },
                                        [&] {
                                          dialogs.picks = {path("broken.qkd")};
                                          form.cmdSource.click();
                                        },
                                        [&] {
                                          writePartSet();
                                          form.LoadSource(path("movie.qkd"));
                                          ASSERT_EQ(form.lblNumber.caption(), "3");
                                          form.LoadSource(path("locked.qkd"));
                                        }};
  for (const auto& way : ways) {
    form.LoadSource(path("movie.avi"));
    ASSERT_TRUE(form.optSplit.value());
    way();
    EXPECT_TRUE(form.optJoin.value());
    EXPECT_EQ(form.txtSource.text(), "");
    EXPECT_EQ(form.txtDest.text(), "");
    EXPECT_EQ(form.lblNumber.caption(), "0");
    EXPECT_EQ(display.codes.back(), kMsgFailure);
  }
  EXPECT_NE(display.details[1].find("Permission denied"), std::string::npos);
  EXPECT_EQ(display.codes.size(), 4u);
}

// ---- File dialogs ----

TEST_F(MainWindow, SourceDialogFiltersByModeAndEndsQuietlyOnCancel) {
  start();
  sized("movie.avi", 100);
  form.cmdSource.click();  // cancelled
  ASSERT_EQ(dialogs.opens.size(), 1u);
  EXPECT_EQ(dialogs.opens[0].title, "Join which file?");
  EXPECT_EQ(dialogs.opens[0].filter, "Quellmark Data Files (*.qkd)|*.qkd|All Files (*.*)|*.*");
  EXPECT_EQ(dialogs.opens[0].initialFolder, home());
  EXPECT_TRUE(form.optJoin.value());
  EXPECT_TRUE(display.codes.empty());

  dialogs.picks = {path("movie.avi")};
  form.cmdSource.click();
  EXPECT_TRUE(form.optSplit.value());
  EXPECT_EQ(state.SourceTitle, "movie.avi");
  form.cmdSource.click();  // cancelled again: everything stays
  EXPECT_EQ(dialogs.opens[2].title, "Split which file?");
  EXPECT_EQ(dialogs.opens[2].filter, "All Files (*.*)|*.*");
  EXPECT_EQ(dialogs.opens[2].initialFolder, folder.path());
  EXPECT_EQ(form.txtSource.text(), path("movie.avi"));
}

TEST_F(MainWindow, DestinationDialogOpensOnTheDestinationsFolderAndName) {
  start();
  sized("movie.avi", 100);
  dialogs.picks = {path("movie.avi")};
  form.cmdSource.click();
  dialogs.picks = {"/elsewhere/disk.qkd"};
  form.cmdDest.click();
  ASSERT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(dialogs.saves[0].initialFolder, folder.path());
  EXPECT_EQ(dialogs.saves[0].fileName, "movie.qkd");
  EXPECT_EQ(dialogs.saves[0].title, "Choose Destination Path");
  EXPECT_EQ(dialogs.saves[0].filter, "Quellmark Data Files (*.qkd)|*.qkd|All Files (*.*)|*.*");
  EXPECT_EQ(form.txtDest.text(), "/elsewhere/disk.qkd");
  EXPECT_EQ(state.SourceTitle, "movie.avi");
  // Shorter than the source's name: no dialog.
  form.txtDest.setText("");
  form.cmdDest.click();
  EXPECT_EQ(dialogs.saves.size(), 1u);
  // In Join mode the filter is the other way round.
  writePartSet();
  form.LoadSource(path("movie.qkd"));
  form.cmdDest.click();
  ASSERT_EQ(dialogs.saves.size(), 2u);
  EXPECT_EQ(dialogs.saves[1].filter, "All Files (*.*)|*.*");
  EXPECT_EQ(dialogs.saves[1].fileName, "movie.avi");
  EXPECT_EQ(form.txtDest.text(), path("movie.avi"));  // cancelled
}

// ---- Begin's refusals, Help and Exit ----

TEST_F(MainWindow, BeginRefusesWithoutBothFilesOrTooManyParts) {
  start();
  sized("movie.avi", 2000000);
  form.LoadSource(path("movie.avi"));
  form.txtDest.setText("");
  form.cmdBegin.click();
  form.txtDest.setText(path("movie.qkd"));
  form.txtSource.setText(path("gone.avi"));
  form.cmdBegin.click();
  // The trigger boxes make the same checks.
  form.Check1.setValue(1);
  EXPECT_EQ(form.Check1.value(), 0);
  form.txtSource.setText(path("movie.avi"));
  form.lblNumber.setCaption("1000+");
  form.Check2.setValue(1);
  EXPECT_EQ(form.Check2.value(), 0);
  EXPECT_EQ(display.codes,
            (std::vector<int>{kMsgNeedFiles, kMsgNeedFiles, kMsgNeedFiles, kMsgTooManyParts}));
  EXPECT_EQ(files(), std::vector<std::string>{"movie.avi"});
  EXPECT_TRUE(form.cmdBegin.visible());
  EXPECT_FALSE(state.Running);
}

TEST_F(MainWindow, HelpShowsTheHelpAndExitUnloadsAndCloses) {
  start();
  form.cmdHelp.click();
  EXPECT_EQ(help.shown, 1);
  EXPECT_EQ(closed, 0);
  form.cmdExit.click();
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(drops, (std::vector<bool>{true, false}));
  EXPECT_TRUE(display.codes.empty());
}

// ---- Runs ----

TEST_F(MainWindow, SplitThroughTheTriggerRunsOnceAndLocksTheWindowMeanwhile) {
  start();
  const std::string whole = JobFixture::pattern(2000000);
  write("movie.avi", whole);
  sized("other.avi", 10);
  form.LoadSource(path("movie.avi"));
  bool inspected = false;
  int depth = 0;
  int nested = 0;  // events pumped by a run started inside this one
  pump.onEvents = [&](int) {
    if (depth++ > 0) ++nested;
    if (!inspected) {
      inspected = true;
      EXPECT_TRUE(form.running());
      for (Control* c : std::initializer_list<Control*>{
               &form.optJoin, &form.optSplit, &form.Option1, &form.Option6, &form.txtSize,
               &form.Combo1, &form.txtSource, &form.txtDest, &form.cmdSource, &form.cmdDest}) {
        EXPECT_FALSE(c->enabled()) << c->name();
      }
      for (Control* c :
           std::initializer_list<Control*>{&form.chkDelete, &form.chkAutoStart, &form.chkSelfJoin,
                                           &form.cmdHelp, &form.cmdExit, &form.cmdCancel}) {
        EXPECT_TRUE(c->enabled() && c->visible()) << c->name();
      }
      // Neither a trigger, nor a drop, nor the auto-start box gets past the lock.
      form.Check2.setValue(1);
      form.cmdBegin_Click();
      form.LoadSource(path("other.avi"));
      form.chkAutoStart.click();
      EXPECT_FALSE(form.Option1.enabled());
      EXPECT_EQ(form.txtSource.text(), path("movie.avi"));
    }
    --depth;
  };
  form.Check1.setValue(1);
  EXPECT_EQ(form.Check1.value(), 0);
  EXPECT_EQ(form.Check2.value(), 0);
  EXPECT_TRUE(inspected);
  EXPECT_EQ(nested, 0);
  EXPECT_TRUE(display.codes.empty());
  EXPECT_EQ(allParts("movie", 3), whole);
  EXPECT_EQ(read("movie.qkd"), "movie.avi\r\n3\r\n");
  // Unlocked again, by the mode rule.
  EXPECT_FALSE(form.running());
  EXPECT_TRUE(form.optJoin.enabled() && form.txtSource.enabled() && form.Option1.enabled());
  EXPECT_EQ(form.lblSectionNum.caption(), "");
}

TEST_F(MainWindow, CancelDuringASplitAsksAndObeysTheAnswer) {
  start();
  const std::string whole = JobFixture::pattern(2000000);
  write("movie.avi", whole);
  form.LoadSource(path("movie.avi"));

  // No: the split carries on to the same result, and Cancel can be pressed again.
  bool cancelVisibleAfterNo = false;
  int block = 0;
  pump.onEvents = [&](int) {
    if (!pump.inBlockPause()) return;
    ++block;
    if (block == 3) {
      form.cmdCancel.click();
      form.cmdCancel.click();  // twice before the block ends: one question
    }
    if (block == 6) cancelVisibleAfterNo = form.cmdCancel.visible();
  };
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, std::vector<int>{kMsgConfirmCancel});
  EXPECT_TRUE(cancelVisibleAfterNo);
  EXPECT_EQ(allParts("movie", 3), whole);
  EXPECT_FALSE(state.CancelPressed);

  // Yes during part 2: every part goes, the source stays, message 7.
  std::filesystem::remove(path("movie.qkd"));
  for (const char* part : {"movie.001", "movie.002", "movie.003"})
    std::filesystem::remove(path(part));
  display.codes.clear();
  display.answers = {Answer::Yes};
  atBlock(15, [&] { form.cmdCancel.click(); });
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, (std::vector<int>{kMsgConfirmCancel, kMsgCancelled}));
  EXPECT_EQ(files(), std::vector<std::string>{"movie.avi"});
  EXPECT_EQ(read("movie.avi"), whole);
  EXPECT_TRUE(form.cmdBegin.visible());
  EXPECT_FALSE(form.cmdCancel.visible());
  EXPECT_EQ(form.proFile.value() + form.proSection.value(), 0);
  EXPECT_EQ(form.lblSectionNum.caption(), "");
  EXPECT_TRUE(form.txtSource.enabled());
}

TEST_F(MainWindow, CancelDuringAJoinAsksAndObeysTheAnswer) {
  start();
  const std::string whole = writePartSet();
  form.LoadSource(path("movie.qkd"));
  const auto before = files();

  atBlock(2, [&] { form.cmdCancel.click(); });
  form.cmdBegin.click();  // answered No
  EXPECT_EQ(display.codes, std::vector<int>{kMsgConfirmCancel});
  EXPECT_EQ(read("movie.avi"), whole);

  std::filesystem::remove(path("movie.avi"));
  display.codes.clear();
  display.answers = {Answer::Yes};
  atBlock(2, [&] { form.cmdCancel.click(); });
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, (std::vector<int>{kMsgConfirmCancel, kMsgCancelled}));
  EXPECT_EQ(files(), before);  // no destination, no temporary file, every part still there
  EXPECT_TRUE(form.cmdBegin.visible());
  EXPECT_EQ(form.lblSectionNum.caption(), "");
}

TEST_F(MainWindow, ClosingDuringARunAsksOnceThenClosesAfterTheCleanUp) {
  start();
  const std::string whole = JobFixture::pattern(2000000);
  write("movie.avi", whole);
  form.LoadSource(path("movie.avi"));

  // No: the run goes on and the window stays.
  bool refused = false;
  atBlock(2, [&] { refused = !form.Form_QueryUnload(); });
  form.cmdBegin.click();
  EXPECT_TRUE(refused);
  EXPECT_EQ(display.codes, std::vector<int>{kMsgConfirmCancel});
  EXPECT_EQ(allParts("movie", 3), whole);
  EXPECT_EQ(closed, 0);

  // Yes by Exit: one question, the split cleans up and says so, then the window goes.
  for (const char* name : {"movie.qkd", "movie.001", "movie.002", "movie.003"}) {
    std::filesystem::remove(path(name));
  }
  display.codes.clear();
  display.answers = {Answer::Yes};
  int closedDuringRun = -1;
  atBlock(14, [&] {
    form.cmdExit.click();
    form.cmdExit.click();  // impatient: no second question
    closedDuringRun = closed;
  });
  form.cmdBegin.click();
  EXPECT_EQ(closedDuringRun, 0);
  EXPECT_EQ(display.codes, (std::vector<int>{kMsgConfirmCancel, kMsgCancelled}));
  EXPECT_EQ(files(), std::vector<std::string>{"movie.avi"});
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(drops, (std::vector<bool>{true, false}));
  EXPECT_EQ(state.MessageCode, 0);
}

TEST_F(MainWindow, ClosingDuringAJoinWithYesLeavesNoDestination) {
  start();
  writePartSet();
  form.LoadSource(path("movie.qkd"));
  const auto before = files();
  display.answers = {Answer::Yes};
  atBlock(2, [&] { EXPECT_FALSE(form.Form_QueryUnload()); });
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, (std::vector<int>{kMsgConfirmCancel, kMsgCancelled}));
  EXPECT_EQ(files(), before);
  EXPECT_EQ(closed, 1);
  // Once closed the run is over, and asking again lets the window go at once.
  EXPECT_TRUE(form.Form_QueryUnload());
}

TEST_F(MainWindow, CustomSizeBeyond32BitsIsRefusedAtBegin) {
  start();
  sized("movie.avi", 5000);
  form.LoadSource(path("movie.avi"));
  custom("3000", 2);
  EXPECT_EQ(form.lblNumber.caption(), "0");
  form.cmdBegin.click();
  EXPECT_EQ(display.codes, std::vector<int>{kMsgZeroSize});
  EXPECT_EQ(files(), std::vector<std::string>{"movie.avi"});
}

}  // namespace
}  // namespace qm::test
