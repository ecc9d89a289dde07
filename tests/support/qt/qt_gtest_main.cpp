// Runs a test program's tests inside a QApplication. Windows go to Qt's
// offscreen platform and the test's home and configuration folders are a
// temporary folder of its own, so no test shows a window or writes a
// developer's files.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include <QTemporaryDir>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir home;
  if (home.isValid()) {
    const std::string path = home.path().toStdString();
    setenv("HOME", path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
