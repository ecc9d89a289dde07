#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace platform {

namespace {

std::string WithoutDllExtension(const std::string& name) {
  static const std::string kDll = ".dll";
  if (name.size() <= kDll.size()) return name;
  std::string tail = name.substr(name.size() - kDll.size());
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == kDll ? name.substr(0, name.size() - kDll.size()) : name;
}

}  // namespace

DynamicLibrary::~DynamicLibrary() {
  if (handle_) dlclose(handle_);
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& name, std::string* error) {
  std::string path = LibraryFileFor(name);
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* text = dlerror();
      *error = text ? text : "cannot load " + path;
    }
    return nullptr;
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, std::move(path)));
}

void* DynamicLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

std::string ProgramName() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.filename().string();
}

std::string LibraryFileFor(const std::string& name) {
  return (std::filesystem::path(ProgramFolder()) / ("lib" + WithoutDllExtension(name) + ".so")).string();
}

}  // namespace platform
