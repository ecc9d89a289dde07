#include "shell/custom_menu/custom_menu_store.h"

#include <mutex>

namespace {

struct CustomMenuStore {
  std::mutex lock;
  CustomMenuSnapshot current = std::make_shared<const CustomMenu>();
};

CustomMenuStore& Store() {
  static CustomMenuStore store;
  return store;
}

}  // namespace

CustomMenuSnapshot GetCustomMenu() {
  std::lock_guard<std::mutex> guard(Store().lock);
  return Store().current;
}

void PublishCustomMenu(CustomMenu items) {
  auto snapshot = std::make_shared<const CustomMenu>(std::move(items));
  std::lock_guard<std::mutex> guard(Store().lock);
  Store().current = std::move(snapshot);
}

std::optional<CustomMenuItem> GetCustomMenuItem(std::size_t index) {
  const CustomMenuSnapshot menu = GetCustomMenu();
  if (index >= menu->size()) return std::nullopt;
  return (*menu)[index];
}
