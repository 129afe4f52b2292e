// The main of the benchmarks that need the Qt window: an application offscreen unless a
// platform is named, then every benchmark linked in.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "ui/qt/qt_application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  dalvorn::SetUpApplication(app);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
