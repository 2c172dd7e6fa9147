// A firmware version table file written for a test, read through the real table reader: the
// device families take Read as their table reader while the object lives.
#pragma once

#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "core/file/VersionTable.h"

class CFirmwareTableFile {
 public:
  // A table holding these lines; null: no file at all.
  explicit CFirmwareTableFile(const char* lines) {
    Path() = m_dir.path().toStdString() + "/" + kFirmwareTableName;
    if (lines) std::ofstream(Path(), std::ios::binary) << lines;
  }
  ~CFirmwareTableFile() { Path().clear(); }
  CFirmwareTableFile(const CFirmwareTableFile&) = delete;
  CFirmwareTableFile& operator=(const CFirmwareTableFile&) = delete;

  static std::string Read(const std::string& key) { return ReadIniValueFromFile(Path(), key); }

 private:
  static std::string& Path() {
    static std::string path;
    return path;
  }
  QTemporaryDir m_dir;
};
