#include "shell/ui/app/main_dialog.h"

#include <mutex>

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

MainDialogFactory& Factory() {
  static MainDialogFactory factory;
  return factory;
}

}  // namespace

void SetMainDialogFactory(MainDialogFactory factory) {
  std::lock_guard lock(FactoryLock());
  Factory() = std::move(factory);
}

MainDialogFactory GetMainDialogFactory() {
  std::lock_guard lock(FactoryLock());
  return Factory();
}
