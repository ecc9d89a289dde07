#include "radiosim_process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/parent_death.h"
#include "program_fixture.h"

namespace e2e {

RadiosimProcess::~RadiosimProcess() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    process_->kill();
    process_->waitForFinished(30000);
  }
}

bool RadiosimProcess::Start(const std::string& comFolder, int com, const std::vector<std::string>& arguments) {
  QStringList list{"--dir", QString::fromStdString(comFolder), "--com", QString::number(com)};
  for (const auto& argument : arguments) list << QString::fromStdString(argument);
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::MergedChannels);
  // Should this test program crash, the simulator goes with it.
  process_->setChildProcessModifier([] { platform::EndWithParent(); });
  process_->start(QUILLON_RADIOSIM, list);
  if (!process_->waitForStarted(30000)) {
    ADD_FAILURE() << "radiosim did not start: " << process_->errorString().toStdString();
    return false;
  }
  const std::string link = comFolder + "/COM" + std::to_string(com);
  if (!PollUntil([&] { return std::filesystem::exists(link) || process_->state() == QProcess::NotRunning; }) ||
      !std::filesystem::exists(link)) {
    process_->waitForFinished(1000);
    ADD_FAILURE() << "radiosim did not link " << link << ": " << Output();
    return false;
  }
  return true;
}

std::optional<int> RadiosimProcess::Stop(std::chrono::milliseconds timeout) {
  if (!process_) return std::nullopt;
  process_->terminate();
  if (!process_->waitForFinished(static_cast<int>(timeout.count()))) return std::nullopt;
  if (process_->exitStatus() != QProcess::NormalExit) return std::nullopt;
  return process_->exitCode();
}

std::string RadiosimProcess::Output() const {
  if (!process_) return {};
  return process_->readAll().toStdString();
}

}  // namespace e2e
