// The engine's interface: what a split or a join works on, how it talks to whoever started it,
// and how it ended. Both front ends, the window and the command line, build these requests.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

class EventPump;
class ModalDisplay;

// A split: `source` cut into parts of `partSize` bytes named after `dest`, which becomes the data
// file. `partCount` is the count the user was shown; the split counts again before it starts.
struct SplitRequest {
  std::string source;
  std::string dest;
  std::string sourceTitle;  // the name the data file records, without folder
  std::int64_t partSize = 0;
  std::int64_t partCount = 0;
  bool batchFile = false;    // write the self-joining batch file as well
  bool shellScript = false;  // write the self-joining shell script (NAME.sh) as well
  bool checksums = true;     // write NAME.sha256, which the join checks the parts against
};

// A join: the `partCount` parts of `dataFile` put back together into `dest`.
struct JoinRequest {
  std::string dataFile;
  std::string dest;
  std::int64_t partCount = 0;
};

// How a run ended: 0, or the number of the message that ended it, with message 9's detail.
struct Outcome {
  int message = 0;
  std::string detail;
};

// The side of a run that the user sees. The engine reports through it and asks through it; it
// never reads a control.
class RunHost {
 public:
  static constexpr int kNoPart = -1;

  virtual ~RunHost() = default;
  // The part being worked on (0 before the first), or kNoPart once none is.
  virtual void ShowPart(int part) = 0;
  // Progress within the current part and over the whole file, 0 to 100.
  virtual void ShowSectionProgress(int percent) = 0;
  virtual void ShowFileProgress(int percent) = 0;
  // Cancel takes Begin's place while the parts are copied, and gives it back at the end.
  virtual void ShowRunning(bool running) = 0;
  // "Delete Source Files" as it stands at the moment the run gets to it.
  virtual bool DeleteWhenDone() = 0;
  // The numbered messages and their questions (the answer comes back in MessageCode).
  virtual ModalDisplay& display() = 0;
  // The turns Pause gives the user between blocks.
  virtual EventPump& pump() = 0;
};

}  // namespace qm
