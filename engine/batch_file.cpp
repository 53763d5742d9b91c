#include "engine/batch_file.h"

#include "engine/part_names.h"
#include "engine/shared_routines.h"
#include "platform/file_system.h"

namespace qm {
namespace {

// cmd expands %...% before it looks at quotes, so a name's own "%" must be doubled everywhere.
std::string percentSafe(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

// Outside double quotes cmd also acts on & | < > and its escape character ^; escaped, they are
// plain text.
std::string unquotedSafe(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '&' || c == '|' || c == '<' || c == '>' || c == '^') out += '^';
    out += c;
  }
  return percentSafe(out);
}

constexpr const char* kStars = "REM ************************************************************";

}  // namespace

bool BatchCanQuote(const std::string& sourceTitle) {
  return sourceTitle.find('"') == std::string::npos;
}

std::string BatchFileText(const std::string& sourceTitle, int parts) {
  const std::string Q = "\"";
  const std::string N = percentSafe(sourceTitle);
  const std::string D = percentSafe(DataFileTitle(sourceTitle));
  const std::string A = kHomePage;
  auto P = [&](int i) { return percentSafe(PartName(sourceTitle, i)); };

  std::string text;
  auto line = [&text](const std::string& content) {
    text += content;
    text += "\r\n";
  };

  line("@echo off");
  line("");
  line(kStars);
  line("REM Quellmark v1.0 self-joining batch file.");
  line("REM ");
  line("REM You may find the program that created this Split file (.qkd)");
  line("REM at " + A);
  line(kStars);
  line("");
  line("CLS");
  line("echo This batch file was created with Quellmark v1.0");
  line("echo.");
  line("echo This and other fine software is vailable for download from");
  line("echo " + A + ".");
  line("echo.");
  line("if exist " + Q + N + Q + " goto FileExists");
  line("");
  line(":SelfJoin");
  line("Set MissingFile=" + Q + Q);
  for (int i = 1; i <= parts; ++i) {
    line("if not exist " + Q + P(i) + Q + " set MissingFile=" + Q + P(i) + Q);
  }
  line("");
  line("if not %MissingFile%==" + Q + Q + " goto Error");
  line("");
  line("echo Now joining " + Q + N + Q + "...");
  line("echo.");
  line("if exist " + Q + N + Q + " del " + Q + N + Q);
  line("");
  line("copy /b " + Q + P(1) + Q + " " + Q + N + Q + " >nul");
  for (int i = 2; i <= parts; ++i) {
    line("copy /b " + Q + N + Q + " + " + Q + P(i) + Q + " " + Q + N + Q + " >nul");
  }
  line("echo The file " + Q + N + Q + " was joined successfully.");
  line("echo.");
  line("choice /c:YN Do you want to delete the source files ");
  line("if errorlevel 2 goto Finish");
  line("if errorlevel 1 goto RidSource");
  line("goto Finish");
  line("");
  line(":FileExists");
  line("choice /c:YN '" + unquotedSafe(sourceTitle) +
       "' already exists.  Do you want to overwrite it ");
  line("if errorlevel 2 goto Finish");
  line("if errorlevel 1 goto SelfJoin");
  line("");
  line(":RidSource");
  line("echo.");
  line("echo Removing source files.");
  for (int i = 1; i <= parts; ++i)
    line("del " + Q + P(i) + Q);
  line("del " + Q + D + Q);
  line("goto Finish");
  line("");
  line(":Error");
  line("echo.");
  line("echo The file %MissingFile% does not exist.");
  line("echo " + Q + N + Q + " was NOT created.");
  line("echo.");
  line("");
  line(":Finish");
  line("set MissingFile=" + Q + Q);
  line("pause");
  return text;
}

void WriteBatchFile(JobState& state, FileSystem& fs, const std::string& dest,
                    const std::string& sourceTitle, int parts) {
  state.WorkFile = BatchFileName(dest);
  if (FileExists(fs, state.WorkFile)) fs.Remove(state.WorkFile);
  const std::string text = BatchFileText(sourceTitle, parts);
  auto file = fs.Create(state.WorkFile);
  file->Write(text.data(), text.size());
  file->Close();
}

}  // namespace qm
