#include "shell/prompt/shell_prompt_service.h"

#include <condition_variable>
#include <mutex>

namespace {

std::mutex& ServiceLock() {
  static std::mutex lock;
  return lock;
}

std::shared_ptr<IShellPromptService>& Installed() {
  static std::shared_ptr<IShellPromptService> service;
  return service;
}

// The answer of one blocking prompt, shared with the service's callback.
struct Answer {
  std::mutex mutex;
  std::condition_variable given;
  bool done = false;
  int result = 0;
};

}  // namespace

std::shared_ptr<IShellPromptService> SetShellPromptService(std::shared_ptr<IShellPromptService> service) {
  std::lock_guard lock(ServiceLock());
  Installed().swap(service);
  return service;
}

std::shared_ptr<IShellPromptService> GetShellPromptService() {
  std::lock_guard lock(ServiceLock());
  return Installed();
}

int ShowPromptAndWait(const std::shared_ptr<IShellPromptService>& service, std::shared_ptr<PromptCall> call) {
  if (!service) return DefaultAnswerFor(*call);
  auto answer = std::make_shared<Answer>();
  service->Begin(std::move(call), [answer](int result) {
    std::lock_guard lock(answer->mutex);
    answer->result = result;
    answer->done = true;
    answer->given.notify_all();
  });
  std::unique_lock lock(answer->mutex);
  answer->given.wait(lock, [&] { return answer->done; });
  return answer->result;
}
