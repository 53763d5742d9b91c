#include "desktop/desktop_program.h"

#include <QApplication>

#include "window/window_title.h"

namespace qm {

DesktopProgram::DesktopProgram(FileSystem& fs, EventPump& pump)
    : errorForm(state, pump),
      display(errorForm, &window),
      services{fs, pump, display},
      dialogs(&window),
      help(&window),
      form(state, services, dialogs, help),
      skin(form, window) {
  // Closing the frame asks the form first; during a run that is the cancel question.
  window.QueryClose = [this] { return form.Form_QueryUnload(); };
  window.Closing = [this] { form.Form_Unload(); };
  form.CloseWindow = [this] { window.close(); };
  skin.setTitle([this] { return MainWindowTitle(form); });
  // A user who turned to other work while the run went on learns from the desktop's window
  // list that it is over.
  form.RunEnded = [this] {
    if (!window.isActiveWindow()) QApplication::alert(&window);
  };
}

void DesktopProgram::Start(const std::string& commandLine) {
  form.Form_Load(commandLine);
  window.show();
}

}  // namespace qm
