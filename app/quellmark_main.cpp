// The desktop program: the window forms on screen, with the Qt services behind them.
#include <cstdlib>
#include <iostream>
#include <string>

#include <QApplication>

#include "desktop/desktop_program.h"
#include "desktop/program_resources.h"
#include "desktop/qt_event_pump.h"
#include "desktop/qt_shell.h"
#include "platform/posix_association_store.h"
#include "platform/posix_file_system.h"
#include "platform/process_runner.h"
#include "platform/version.h"
#include "shell/command_line.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quellmark"));
  QApplication::setApplicationVersion(QString::fromLatin1(qm::kVersion));
  qm::LoadProgramResources();
  qm::UseProgramLook();
  QApplication::setWindowIcon(qm::ProgramIcon());

  qm::PosixFileSystem fs;
  qm::QtEventPump pump;
  // The desktop's cache tools may still be running when the window closes; the runner, which
  // outlives the program, gives them a moment and reaps them.
  qm::ProcessRunner runner;
  qm::PosixAssociationStore store(runner);
  qm::DesktopProgram program(fs, pump);
  qm::AddShellHooks(program, fs, store);
  // The arguments Qt has not taken for itself, joined as one path: what a file manager or a
  // shell passes is the file to load.
  program.Start(qm::CommandLineText(argc, argv));

  // For scripted checks of the start-up: the association is written and the command line
  // loaded; say what the window shows and end without waiting for a user.
  if (const char* quit = std::getenv("QUELLMARK_EXIT_AFTER_START"); quit != nullptr && *quit) {
    const qm::frmQuellmark& form = program.form;
    std::cout << "mode=" << (form.optJoin.value() ? "Join" : "Split") << "\n"
              << "source=" << form.txtSource.text() << "\n"
              << "destination=" << form.txtDest.text() << "\n"
              << "parts=" << form.lblNumber.caption() << "\n"
              << "running=" << (program.state.Running ? 1 : 0) << std::endl;
    return 0;
  }
  return QApplication::exec();
}
