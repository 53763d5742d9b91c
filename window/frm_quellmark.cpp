#include "window/frm_quellmark.h"

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "engine/data_file.h"
#include "engine/join.h"
#include "engine/messages.h"
#include "engine/numbers.h"
#include "engine/part_count.h"
#include "engine/part_names.h"
#include "engine/shared_routines.h"
#include "engine/split.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace qm {
namespace {

constexpr const char* kWindowTitle = "Quellmark v1.0";

constexpr const char* kDataFilter = "Quellmark Data Files (*.qkd)|*.qkd|All Files (*.*)|*.*";
constexpr const char* kAllFilter = "All Files (*.*)|*.*";

void selectAll(TextBox& box) {
  box.setSelection(0, static_cast<int>(charCount(box.text())));
}

// A sentence for message 9 gets its full stop, whatever the reason text ended with.
std::string sentence(std::string text) {
  if (!text.empty() && text.back() != '.' && text.back() != '!' && text.back() != '?') {
    text += '.';
  }
  return text;
}

void place(Control& control, Control* container, Twips rect, int tabIndex) {
  control.container = container;
  control.rect = rect;
  control.tabIndex = tabIndex;
}

}  // namespace

void frmQuellmark::RunDisplay::ShowError() {
  if (cancelConfirmed && state_.MessageCode == kMsgConfirmCancel) return;  // stays 8: Yes
  inner_.ShowError();
}

void frmQuellmark::RunControls::ShowPart(int part) {
  form_.lblSectionNum.setCaption(part == kNoPart ? std::string() : std::to_string(part));
}
void frmQuellmark::RunControls::ShowSectionProgress(int percent) {
  form_.proSection.setValue(percent);
}
void frmQuellmark::RunControls::ShowFileProgress(int percent) {
  form_.proFile.setValue(percent);
}
void frmQuellmark::RunControls::ShowRunning(bool running) {
  form_.cmdBegin.setVisible(!running);
  form_.cmdCancel.setVisible(running);
}
bool frmQuellmark::RunControls::DeleteWhenDone() {
  return form_.chkDelete.value() == 1;
}
ModalDisplay& frmQuellmark::RunControls::display() {
  return form_.runDisplay_;
}
EventPump& frmQuellmark::RunControls::pump() {
  return form_.services_.pump;
}

frmQuellmark::frmQuellmark(JobState& state, Services& services, FileDialog& dialogs,
                           HelpViewer& help)
    : Form("frmQuellmark"),
      fraMain(*this, "fraMain"),
      cmdCancel(*this, "cmdCancel"),
      fraFile(*this, "fraFile"),
      txtDest(*this, "txtDest"),
      txtSource(*this, "txtSource"),
      cmdDest(*this, "cmdDest"),
      cmdSource(*this, "cmdSource"),
      lblDest(*this, "lblDest"),
      lblSource(*this, "lblSource"),
      Frame4(*this, "Frame4"),
      proSection(*this, "proSection"),
      proFile(*this, "proFile"),
      lblSectionNum(*this, "lblSectionNum"),
      lblNumber(*this, "lblNumber"),
      lblFile(*this, "lblFile"),
      lblSection(*this, "lblSection"),
      lblSectionText(*this, "lblSectionText"),
      lblNum(*this, "lblNum"),
      Frame2(*this, "Frame2"),
      chkAutoStart(*this, "chkAutoStart"),
      chkSelfJoin(*this, "chkSelfJoin"),
      chkDelete(*this, "chkDelete"),
      cmdExit(*this, "cmdExit"),
      cmdHelp(*this, "cmdHelp"),
      cmdBegin(*this, "cmdBegin"),
      Frame1(*this, "Frame1"),
      Combo1(*this, "Combo1"),
      txtSize(*this, "txtSize"),
      Label1(*this, "Label1"),
      fraOption(*this, "fraOption"),
      optSplit(*this, "optSplit"),
      optJoin(*this, "optJoin"),
      fraSize(*this, "fraSize"),
      Option2(*this, "Option2"),
      Option6(*this, "Option6"),
      Option5(*this, "Option5"),
      Option4(*this, "Option4"),
      Option3(*this, "Option3"),
      Option1(*this, "Option1"),
      Check2(*this, "Check2"),
      Check1(*this, "Check1"),
      state_(state),
      services_(services),
      dialogs_(dialogs),
      help_(help),
      runDisplay_(services.display, state),
      runControls_(*this) {
  setCaption(kWindowTitle);
  client = {0, 0, 6405, 3765};

  place(fraMain, nullptr, {0, 0, 6375, 3735}, 0);
  place(cmdCancel, &fraMain, {120, 3240, 1095, 375}, 40);
  cmdCancel.setCaption("Ca&ncel");
  cmdCancel.setVisible(false);

  place(fraFile, &fraMain, {120, 120, 6135, 1215}, 9);
  place(txtDest, &fraFile, {1320, 720, 4215, 375}, 4);
  place(txtSource, &fraFile, {1320, 240, 4215, 375}, 1);
  place(cmdDest, &fraFile, {5640, 720, 375, 375}, 6);
  cmdDest.setCaption("...");
  cmdDest.bold = true;
  place(cmdSource, &fraFile, {5640, 240, 375, 375}, 3);
  cmdSource.setCaption("...");
  cmdSource.bold = true;
  place(lblDest, &fraFile, {120, 840, 1215, 255}, 5);
  lblDest.setCaption("D&estination File");
  place(lblSource, &fraFile, {120, 360, 975, 255}, 2);
  lblSource.setCaption("S&ource File");

  place(Frame4, &fraMain, {120, 1320, 2175, 1815}, 31);
  place(proSection, &Frame4, {120, 360, 1935, 255}, 32);
  place(proFile, &Frame4, {120, 840, 1935, 255}, 33);
  place(lblSectionNum, &Frame4, {1440, 1440, 615, 255}, 36);
  lblSectionNum.colour = ColourRole::ValueField;
  place(lblNumber, &Frame4, {120, 1440, 615, 255}, 34);
  lblNumber.colour = ColourRole::ValueField;
  place(lblFile, &Frame4, {120, 600, 1095, 255}, 39);
  lblFile.setCaption("Complete File");
  place(lblSection, &Frame4, {120, 120, 1215, 255}, 38);
  lblSection.setCaption("Current section");
  place(lblSectionText, &Frame4, {1440, 1200, 615, 255}, 37);
  lblSectionText.setCaption("Section");
  place(lblNum, &Frame4, {120, 1200, 1215, 255}, 35);
  lblNum.setCaption("Number of Parts");

  place(Frame2, &fraMain, {3600, 1320, 2655, 975}, 28);
  place(chkAutoStart, &Frame2, {120, 425, 2295, 192}, 23);
  chkAutoStart.setCaption("Begin &automatically on drop");
  place(chkSelfJoin, &Frame2, {120, 600, 2295, 315}, 24);
  chkSelfJoin.setCaption("Create self joining batch &file");
  place(chkDelete, &Frame2, {120, 120, 1695, 375}, 22);
  chkDelete.setCaption("&Delete Source Files");

  place(cmdExit, &fraMain, {5160, 3240, 1095, 375}, 27);
  cmdExit.setCaption("E&xit");
  place(cmdHelp, &fraMain, {2640, 3240, 1095, 375}, 26);
  cmdHelp.setCaption("&Help");
  place(cmdBegin, &fraMain, {120, 3240, 1095, 375}, 25);
  cmdBegin.setCaption("&Begin");

  place(Frame1, &fraMain, {3600, 2280, 1695, 855}, 19);
  place(Combo1, &Frame1, {960, 360, 615, 315}, 21);
  place(txtSize, &Frame1, {120, 360, 735, 315}, 20);
  place(Label1, &Frame1, {360, 120, 975, 255}, 18);
  Label1.setCaption("Custom Si&ze");

  place(fraOption, &fraMain, {5400, 2280, 855, 855}, 11);
  place(optSplit, &fraOption, {120, 480, 615, 255}, 8);
  optSplit.setCaption("&Split");
  place(optJoin, &fraOption, {120, 240, 615, 255}, 7);
  optJoin.setCaption("&Join");

  place(fraSize, &fraMain, {2400, 1320, 1095, 1815}, 10);
  place(Option2, &fraSize, {120, 960, 855, 255}, 15);
  Option2.setCaption("&2.5 MB");
  place(Option6, &fraSize, {120, 1440, 855, 255}, 17);
  Option6.setCaption("&Custom");
  place(Option5, &fraSize, {120, 1200, 855, 255}, 16);
  Option5.setCaption("   &5 MB");
  place(Option4, &fraSize, {120, 240, 855, 255}, 12);
  Option4.setCaption("&720 kb");
  place(Option3, &fraSize, {120, 480, 855, 255}, 13);
  Option3.setCaption("   &1 MB");
  place(Option1, &fraSize, {120, 720, 855, 255}, 14);
  Option1.setCaption("1.&4 MB");

  // The two triggers sit on the window itself, invisible: only the program sets them.
  place(Check2, nullptr, {720, 0, 255, 255}, 30);
  Check2.setVisible(false);
  place(Check1, nullptr, {480, 0, 255, 255}, 29);
  Check1.setVisible(false);

  optSplit.Click = [this] { optSplit_Click(); };
  optJoin.Click = [this] { optJoin_Click(); };
  chkAutoStart.Click = [this] { chkAutoStart_Click(); };
  Check1.Click = [this] { Check1_Click(); };
  Check2.Click = [this] { Check2_Click(); };
  cmdHelp.Click = [this] { cmdHelp_Click(); };
  cmdExit.Click = [this] { cmdExit_Click(); };
  Option1.Click = [this] { Option1_Click(); };
  Option2.Click = [this] { Option2_Click(); };
  Option3.Click = [this] { Option3_Click(); };
  Option4.Click = [this] { Option4_Click(); };
  Option5.Click = [this] { Option5_Click(); };
  Option6.Click = [this] { Option6_Click(); };
  Combo1.Click = [this] { Combo1_Click(); };
  txtSize.Change = [this] { txtSize_Change(); };
  txtSize.GotFocus = [this] { txtSize_GotFocus(); };
  cmdSource.Click = [this] { cmdSource_Click(); };
  cmdDest.Click = [this] { cmdDest_Click(); };
  txtSource.GotFocus = [this] { txtSource_GotFocus(); };
  txtDest.GotFocus = [this] { txtDest_GotFocus(); };
  txtSource.Change = [this] { txtSource_Change(); };
  txtSource.LostFocus = [this] { txtSource_LostFocus(); };
  cmdBegin.Click = [this] { cmdBegin_Click(); };
  cmdCancel.Click = [this] { cmdCancel_Click(); };
}

// ---- Start-up, modes, triggers, help and exit ----

void frmQuellmark::Form_Load(const std::string& commandLine) {
  loaded_ = true;
  state_.CommandLine = commandLine;
  // Selecting Join runs its mode switch now: split settings off, fields empty, count "0".
  optJoin.setValue(true);
  Option4.setValue(true);
  state_.BlockSize = kDefaultBlockSize;
  // Writing the field runs its change handler, which zeroes SplitSize; so the default size
  // has to be stored after it.
  txtSize.setText("0");
  state_.SplitSize = kDefaultSplitSize;
  dialogFolder_ = services_.fs.HomeFolder();
  if (dialogFolder_.empty() || dialogFolder_.back() != '/') dialogFolder_ += '/';
  state_.Quote = "\"";
  state_.CancelPressed = false;
  state_.SizeUnit = 1;
  if (Combo1.listCount() == 0) {
    Combo1.setItemData(Combo1.addItem("b"), 0);
    Combo1.setItemData(Combo1.addItem("Kb"), 1);
    Combo1.setItemData(Combo1.addItem("Mb"), 2);
  }
  Combo1.setListIndex(0);
  LoadSource(state_.CommandLine);
  if (RegisterFileType) RegisterFileType();
  if (AcceptDrops) AcceptDrops(true);
}

bool frmQuellmark::Form_QueryUnload() {
  if (!state_.Running) return true;
  // Already confirmed: the window goes once the run has cleaned up.
  if (closeAfterRun_) return false;
  // The run may be between a question of its own and acting on the answer; ours must not
  // leave a code behind for it.
  const std::int16_t code = state_.MessageCode;
  ShowMessage(state_, runDisplay_, kMsgConfirmCancel);
  const bool cancel = state_.MessageCode == kMsgConfirmCancel;
  state_.MessageCode = code;
  if (cancel) {
    closeAfterRun_ = true;
    runDisplay_.cancelConfirmed = true;
    cmdCancel_Click();
  }
  return false;
}

void frmQuellmark::Form_Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (AcceptDrops) AcceptDrops(false);
}

void frmQuellmark::optSplit_Click() {
  setSplitSettingsEnabled(true);
  txtSource.setText({});
  txtDest.setText({});
  showPartCount(0);
}

void frmQuellmark::optJoin_Click() {
  if (chkAutoStart.value() == 0) setSplitSettingsEnabled(false);
  txtSource.setText({});
  txtDest.setText({});
  showPartCount(0);
}

void frmQuellmark::chkAutoStart_Click() {
  if (chkAutoStart.value() == 1) {
    setSplitSettingsEnabled(true);
  } else if (optJoin.value()) {
    setSplitSettingsEnabled(false);
  }
}

void frmQuellmark::Check1_Click() {
  if (Check1.value() != 1) return;
  runSplit();
  Check1.setValue(0);
}

void frmQuellmark::Check2_Click() {
  if (Check2.value() != 1) return;
  runJoin();
  Check2.setValue(0);
}

void frmQuellmark::cmdHelp_Click() {
  help_.ShowContents();
}

void frmQuellmark::cmdExit_Click() {
  if (!Form_QueryUnload()) return;
  Form_Unload();
  if (CloseWindow) CloseWindow();
}

void frmQuellmark::setSplitSettingsEnabled(bool on) {
  // During a run the size stays as the run found it; the batch-file choice is only read at
  // the end of a split, so it follows the rule even then.
  const bool sizes = on && !state_.Running;
  for (OptionButton* option : {&Option1, &Option2, &Option3, &Option4, &Option5, &Option6}) {
    option->setEnabled(sizes);
  }
  chkSelfJoin.setEnabled(on);
  txtSize.setEnabled(sizes && Option6.value());
  Combo1.setEnabled(sizes && Option6.value());
}

void frmQuellmark::lockForRun(bool lock) {
  for (Control* control : std::initializer_list<Control*>{&optJoin, &optSplit, &txtSource, &txtDest,
                                                          &cmdSource, &cmdDest}) {
    control->setEnabled(!lock);
  }
  setSplitSettingsEnabled(!optJoin.value() || chkAutoStart.value() == 1);
}

// ---- Size selection ----

void frmQuellmark::fixedSize(std::int32_t bytes) {
  txtSize.setEnabled(false);
  Combo1.setEnabled(false);
  state_.SplitSize = bytes;
  previewParts();
}

void frmQuellmark::Option1_Click() {
  fixedSize(kSize1_4Mb);
}
void frmQuellmark::Option2_Click() {
  fixedSize(kSize2_5Mb);
}
void frmQuellmark::Option3_Click() {
  fixedSize(kSize1Mb);
}
void frmQuellmark::Option4_Click() {
  fixedSize(kSize720Kb);
}
void frmQuellmark::Option5_Click() {
  fixedSize(kSize5Mb);
}

void frmQuellmark::Option6_Click() {
  txtSize.setEnabled(true);
  Combo1.setEnabled(true);
  if (LeadingNumber(txtSize.text()) > 0) {
    customSize();
  } else {
    state_.SplitSize = 0;
  }
  if (txtSize.canFocus()) txtSize.setFocus();
  previewParts();
}

void frmQuellmark::customSize() {
  const double number = LeadingNumber(txtSize.text());
  if (!(number > 0)) return;
  const std::int64_t rounded = RoundHalfEven(number);
  state_.CustomSize =
      rounded > std::numeric_limits<std::int32_t>::max() ? 0 : static_cast<std::int32_t>(rounded);
  state_.SplitSize = CustomSplitSize(txtSize.text(), state_.UnitIndex);
}

void frmQuellmark::previewParts() {
  // In Join mode the count is the data file's; a size picked in advance for the next drop
  // must not overwrite it, or the join would read a wrong number of parts.
  if (!optJoin.value()) {
    showPartCount(CountParts(state_, services_.fs, txtSource.text(), state_.SplitSize));
  }
}

void frmQuellmark::showPartCount(std::int64_t count) {
  partCount_ = count;
  lblNumber.setCaption(PartCountText(count));
}

void frmQuellmark::Combo1_Click() {
  const int index = Combo1.listIndex();
  if (index < 0) return;
  state_.UnitIndex = static_cast<std::int16_t>(Combo1.itemData(index));
  state_.SizeUnit = 1;
  if (state_.UnitIndex == 1) state_.SizeUnit = 1024;
  if (state_.UnitIndex == 2) state_.SizeUnit = kOneMb;
  if (state_.UnitIndex == 2 && LeadingNumber(txtSize.text()) > 1000) txtSize.setText("1000");
  if (LeadingNumber(txtSize.text()) > 0) {
    customSize();
    if (txtSize.canFocus()) txtSize.setFocus();
    previewParts();
  }
}

void frmQuellmark::txtSize_Change() {
  if (LeadingNumber(txtSize.text()) > 0) {
    customSize();
    previewParts();
  } else {
    state_.SplitSize = 0;
    if (!optJoin.value()) showPartCount(0);
  }
}

void frmQuellmark::txtSize_GotFocus() {
  selectAll(txtSize);
}

// ---- Source and destination ----

void frmQuellmark::cmdSource_Click() {
  FileDialogRequest request;
  if (optJoin.value()) {
    request.filter = kDataFilter;
    request.title = "Join which file?";
  } else {
    request.filter = kAllFilter;
    request.title = "Split which file?";
  }
  request.initialFolder = dialogFolder_;
  const auto chosen = dialogs_.ShowOpen(request);
  if (!chosen) return;
  dialogFileTitle_ = chosen->fileTitle;
  LoadSource(chosen->fileName);
  state_.SourceTitle = chosen->fileTitle;
}

void frmQuellmark::cmdDest_Click() {
  if (state_.SourceTitle.empty()) state_.SourceTitle = dialogFileTitle_;
  // The destination is cut where the source's name would start: for movie.avi and
  // /disks/movie.qkd that is the folder /disks/ and the name movie.qkd. A destination shorter
  // than the name cannot be cut, and then no dialog opens.
  const std::size_t n = charCount(state_.SourceTitle);
  const std::string& dest = txtDest.text();
  if (charCount(dest) < n) return;
  FileDialogRequest request;
  request.fileName = rightChars(dest, n);
  dialogFolder_ = dropRightChars(dest, n);
  request.initialFolder = dialogFolder_;
  request.title = "Choose Destination Path";
  request.filter = optJoin.value() ? kAllFilter : kDataFilter;
  const auto chosen = dialogs_.ShowSave(request);
  if (!chosen) return;
  dialogFileTitle_ = chosen->fileTitle;
  txtDest.setText(chosen->fileName);
}

void frmQuellmark::txtSource_GotFocus() {
  selectAll(txtSource);
}
void frmQuellmark::txtDest_GotFocus() {
  selectAll(txtDest);
}

void frmQuellmark::txtSource_Change() {
  previewParts();
}

void frmQuellmark::txtSource_LostFocus() {
  // Each test reads the text and the mode again: the call before may have changed both.
  if (txtDest.text().empty()) LoadSource(txtSource.text());
  if (!optJoin.value() && IsDataFileName(txtSource.text())) LoadSource(txtSource.text());
  if (optJoin.value() && !IsDataFileName(txtSource.text())) LoadSource(txtSource.text());
  // Any other source typed in either mode is analysed too, so the destination, the title and
  // the count always belong to the source shown.
  if (txtSource.text() != analysed_) LoadSource(txtSource.text());
}

std::string frmQuellmark::absolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::string folder = services_.fs.CurrentFolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  std::string name = path;
  while (name.starts_with("./"))
    name.erase(0, 2);
  return folder + name;
}

void frmQuellmark::LoadSource(const std::string& given) {
  // A run holds on to the fields it started with.
  if (state_.Running) return;
  const std::string path = absolutePath(given);
  if (!FileExists(services_.fs, path)) return;
  analysed_ = path;
  state_.SourceTitle = nameOf(path);
  const std::string folder = folderOf(path);

  // The title says whether a loaded set can be checked: its checksum file is beside it.
  setCaption(kWindowTitle);
  if (IsDataFileName(path)) {
    optJoin.setValue(true);
    DataFileContents contents;
    try {
      contents = ReadDataFile(services_.fs, path);
    } catch (const FileError& error) {
      // Join mode with nothing half-filled: the user sees why and starts again.
      txtSource.setText({});
      txtDest.setText({});
      showPartCount(0);
      ShowFailure(state_, runDisplay_, sentence(error.what()) + " Nothing was loaded.");
      return;
    }
    state_.WorkFile = contents.name;
    state_.PartCountRead = static_cast<std::int16_t>(contents.count);
    txtDest.setText(folder + state_.WorkFile);
    showPartCount(state_.PartCountRead);
    if (FileExists(services_.fs, ChecksumFileName(path))) {
      setCaption(std::string(kWindowTitle) + " - a set with checksums");
    }
    dialogFolder_ = folder;
    txtSource.setText(path);
    return;
  }

  optSplit.setValue(true);
  txtSource.setText(path);
  txtDest.setText(DefaultDestination(path, txtDest.text()));
  dialogFolder_ = folder;
  previewParts();
}

// ---- Run control ----

bool frmQuellmark::CheckBeforeRun() {
  const int refusal =
      qm::CheckBeforeRun(services_.fs, txtSource.text(), txtDest.text(), partCount_);
  if (refusal != 0) ShowMessage(state_, runDisplay_, refusal);
  return refusal == 0;
}

SplitRequest frmQuellmark::splitRequest() const {
  // "Create self joining batch file" writes a script for each kind of receiver: NAME.bat for
  // Windows and NAME.sh for Linux and macOS.
  const bool selfJoin = chkSelfJoin.value() == 1;
  return {txtSource.text(), txtDest.text(), state_.SourceTitle, state_.SplitSize, partCount_,
          selfJoin,         selfJoin};
}

JoinRequest frmQuellmark::joinRequest() const {
  return {txtSource.text(), txtDest.text(), partCount_};
}

template <typename Routine>
void frmQuellmark::runWith(Routine routine) {
  if (state_.Running) return;
  if (!CheckBeforeRun()) return;
  state_.Running = true;
  lockForRun(true);
  // Whatever way the run ends, the window comes back to life.
  struct Unlock {
    frmQuellmark& form;
    ~Unlock() {
      form.state_.Running = false;
      form.runDisplay_.cancelConfirmed = false;
      form.lockForRun(false);
    }
  };
  {
    Unlock unlock{*this};
    routine();
  }
  lblSectionNum.setCaption({});
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    Form_Unload();
    if (CloseWindow) CloseWindow();
    return;
  }
  // Cancel took Begin's place and went; the keyboard comes back to Begin for the next run.
  if (cmdBegin.canFocus()) moveFocus(&cmdBegin);
  if (RunEnded) RunEnded();
}

void frmQuellmark::runSplit() {
  runWith([this] { SplitF(state_, services_.fs, runControls_, splitRequest()); });
}

void frmQuellmark::runJoin() {
  runWith([this] { JoinF(state_, services_.fs, runControls_, joinRequest()); });
}

void frmQuellmark::cmdBegin_Click() {
  if (optJoin.value()) {
    runJoin();
  } else {
    runSplit();
  }
}

void frmQuellmark::cmdCancel_Click() {
  state_.CancelPressed = true;
}

}  // namespace qm
