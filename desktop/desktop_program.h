// The desktop program assembled: the job state, the two forms, their windows and the Qt
// services, in the order they need each other. main() adds the shell's hooks and starts it.
#pragma once

#include <string>

#include "desktop/form_skin.h"
#include "desktop/main_window.h"
#include "desktop/qt_file_dialog.h"
#include "desktop/qt_help_viewer.h"
#include "desktop/qt_modal_display.h"
#include "engine/job_state.h"
#include "window/frm_error.h"
#include "window/frm_quellmark.h"

namespace qm {

class DesktopProgram {
 public:
  // The file system and the pump are the caller's, so that tests can look through them.
  DesktopProgram(FileSystem& fs, EventPump& pump);
  DesktopProgram(const DesktopProgram&) = delete;
  DesktopProgram& operator=(const DesktopProgram&) = delete;

  // The start-up sequence with the command line, then the window appears.
  void Start(const std::string& commandLine);

  // Members in the order of construction; each one's partners come before it, and the skin,
  // which holds on to the form, goes first at the end.
  JobState state;
  MainWindow window;
  frmError errorForm;
  QtModalDisplay display;
  Services services;
  QtFileDialog dialogs;
  QtHelpViewer help;
  frmQuellmark form;
  FormSkin skin;
};

}  // namespace qm
