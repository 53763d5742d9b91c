// The desktop program: the window forms on screen, with the Qt services behind them.
#include <string>

#include <QApplication>

#include "platform/posix_file_system.h"
#include "platform/qt/desktop_program.h"
#include "platform/qt/program_resources.h"
#include "platform/qt/qt_event_pump.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quellmark"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  qm::LoadProgramResources();
  qm::UseProgramLook();
  QApplication::setWindowIcon(qm::ProgramIcon());

  // The arguments Qt has not taken for itself, joined as one path: what a file manager or a
  // shell passes is the file to load.
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }

  qm::PosixFileSystem fs;
  qm::QtEventPump pump;
  qm::DesktopProgram program(fs, pump);
  program.Start(commandLine);
  return QApplication::exec();
}
