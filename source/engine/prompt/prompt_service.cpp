#include "engine/prompt/prompt_service.h"

#include <mutex>

namespace {

std::mutex& ServiceLock() {
  static std::mutex lock;
  return lock;
}

std::shared_ptr<IPromptService>& InstalledService() {
  static std::shared_ptr<IPromptService> service;
  return service;
}

}  // namespace

std::shared_ptr<IPromptService> SetPromptService(std::shared_ptr<IPromptService> service) {
  std::lock_guard lock(ServiceLock());
  InstalledService().swap(service);
  return service;
}

std::shared_ptr<IPromptService> GetPromptService() {
  std::lock_guard lock(ServiceLock());
  return InstalledService();
}

int AppMessageBox(const std::string& text, std::uint32_t buttons, const std::string& firstButton) {
  const auto service = GetPromptService();
  return service ? service->ShowNamedBox(text, buttons, firstButton) : kAnswerOk;
}

int AppMessageBox(const std::string& text, std::uint32_t buttons) {
  // The service is held by a share of its own while the box is up, so it
  // may be replaced meanwhile without pulling it from under the caller.
  const auto service = GetPromptService();
  return service ? service->ShowMessageBox(text, buttons) : kAnswerOk;
}
