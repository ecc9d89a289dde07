#pragma once
// A working folder, a loopback HTTP server, a log recorder and recording
// queues standing in for the user-I/O thread and the main window.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/post_target.h"
#include "loopback_http_server.h"
#include "platform/file_finder.h"
#include "platform/file_io.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "shell/download/download_settings.h"

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Listening());
    folder_ = platform::MakeTemporaryFolder("download-");
    ASSERT_FALSE(folder_.empty());
    settings_.workingDirectory = folder_ + "/";
    settings_.server = server_.Url("");
    settings_.log = [this](const std::string& line) { log_.push_back(line); };
    settings_.http.connectTimeoutSeconds = 10;
    SetTargetThread(PT_USER_IO, userIo_.handle());
    SetMainWindow(mainWindow_.handle());
  }
  void TearDown() override {
    SetTargetThread(PT_USER_IO, platform::kNoHandle);
    ClearMainWindow();
    std::filesystem::remove_all(folder_);
  }

  void WriteLocal(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomically(folder_ + "/" + name, text));
  }
  std::string ReadLocal(const std::string& name) const {
    std::string text;
    return platform::ReadWholeFile(folder_ + "/" + name, text) ? text : "<missing>";
  }
  // Every entry of the working folder, temporary files included.
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& found : platform::FindFiles(folder_ + "/")) names.push_back(found.name);
    return names;
  }
  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const auto& request : server_.Requests()) paths.push_back(request.path);
    return paths;
  }
  void ServeList(const std::string& text) { server_.Serve("/qlp/qlp_list.txt", {200, text}); }

  LoopbackHttpServer server_;
  std::string folder_;
  DownloadSettings settings_;
  std::vector<std::string> log_;
  platform::RegisteredQueue userIo_{platform::TargetKind::Thread};
  platform::RegisteredQueue mainWindow_{platform::TargetKind::Window};
};
