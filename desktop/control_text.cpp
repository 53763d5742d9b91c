#include "desktop/control_text.h"

#include <string_view>

namespace qm {

QString SpokenCaption(const std::string& caption) {
  std::string spoken;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    spoken += caption[i];
  }
  return QString::fromUtf8(spoken.data(), static_cast<qsizetype>(spoken.size())).trimmed();
}

ControlText TextOfControl(const std::string& controlName) {
  struct Entry {
    std::string_view control;
    const char* name;
    const char* toolTip;
    const char* labels;
  };
  // The names of the fields and bars are the captions of the labels beside them, so that a
  // screen reader says what a sighted user reads; the "..." buttons say what they open.
  static constexpr Entry kEntries[] = {
      {"txtSource", "Source File", "The file to split, or the data file (.qkd) of parts to join",
       nullptr},
      {"txtDest", "Destination File",
       "The data file (.qkd) the split writes beside its parts, or the file the join rebuilds",
       nullptr},
      {"cmdSource", "Choose source file", "Choose the source file", nullptr},
      {"cmdDest", "Choose destination file", "Choose the destination file", nullptr},
      {"proSection", "Current section progress", nullptr, nullptr},
      {"proFile", "Complete file progress", nullptr, nullptr},
      {"Combo1", "Custom size unit", "Bytes, kilobytes or megabytes", nullptr},
      {"txtSize", "Custom Size", "The size of each part, in the unit beside it", nullptr},
      {"fraSize", nullptr, "The size of each part the split writes", nullptr},
      {"Frame1", nullptr, "A part size of your own: choose Custom to set it", nullptr},
      {"cmdBegin", nullptr, "Start splitting or joining", nullptr},
      {"cmdCancel", nullptr, "Stop the split or join under way", nullptr},
      {"cmdHelp", nullptr, "Open the help", nullptr},
      {"cmdExit", nullptr, "Close Quellmark", nullptr},
      {"lblSource", nullptr, nullptr, "txtSource"},
      {"lblDest", nullptr, nullptr, "txtDest"},
      {"Label1", nullptr, nullptr, "txtSize"},
      {"lblSection", nullptr, nullptr, "proSection"},
      {"lblFile", nullptr, nullptr, "proFile"},
      {"lblNum", nullptr, nullptr, "lblNumber"},
      {"lblSectionText", nullptr, nullptr, "lblSectionNum"},
  };
  for (const Entry& entry : kEntries) {
    if (entry.control != controlName) continue;
    return {QString::fromUtf8(entry.name), QString::fromUtf8(entry.toolTip), entry.labels};
  }
  return {};
}

}  // namespace qm
