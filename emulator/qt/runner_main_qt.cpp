// dalvorn-firmware-update-emulated: the program over an emulated device and host, on the
// Qt window.
#include <QApplication>
#include <QCoreApplication>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "qt/qt_runner.h"
#include "trace/trace_file.h"
#include "ui/qt/qt_application.h"

int main(int argc, char* argv[]) {
  // Answered before Qt reaches for the window system, so that it needs no display.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << dalvorn::emulator::RunnerUsage();
    return 0;
  }
  // A trace pipe whose reader has gone must end the trace, never the run.
  dalvorn::IgnoreBrokenPipes();
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments().mid(1)) {
    arguments.push_back(argument.toStdString());
  }
  dalvorn::emulator::RunnerOptions options;
  std::string error;
  if (!dalvorn::emulator::ParseRunnerOptions(
          arguments, QCoreApplication::applicationDirPath().toStdString(), options, error)) {
    std::cerr << "dalvorn-firmware-update-emulated: " << error << '\n'
              << dalvorn::emulator::RunnerUsage();
    return dalvorn::emulator::UsageExitStatus;
  }
  return dalvorn::emulator::RunEmulated(options, app);
}
