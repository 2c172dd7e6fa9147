// The main of the benchmark programs that need Qt: an application of type App on the offscreen
// platform unless QT_QPA_PLATFORM names another (a benchmark never needs a display), and
// settings, log file and port links in a temporary folder, never the user's profile. before
// runs once the folders are set, ahead of the benchmarks; after runs once they are done, while
// the application still exists.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <functional>

#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

template <class App = QCoreApplication>
int RunBenchmarks(int argc, char** argv, const std::function<void()>& before = {},
                  const std::function<void()>& after = {}) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  App app(argc, argv);
  QTemporaryDir temp;
  if (!temp.isValid()) return 2;
  CSettingsStore::UseFolderForTests(temp.path().toStdString() + "/settings");
  SetUserDataRootForTests(temp.path().toStdString() + "/userdata");
  if (before) before();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (after) after();
  return 0;
}
