// The main of the benchmark programs that run the system object: a Qt core application, and
// settings and the log file kept in a temporary folder, never the user's profile.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

inline int RunBenchmarksInTemporaryProfile(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir temp;
  if (!temp.isValid()) return 2;
  CSettingsStore::UseFolderForTests(temp.path().toStdString() + "/settings");
  SetUserDataRootForTests(temp.path().toStdString() + "/userdata");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
