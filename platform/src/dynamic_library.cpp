#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

// Libraries that an environment variable may take from another folder: the
// USB driver library (the stand-in beside the program, the libusb build in
// its folder "libusb").
struct FolderOverride {
  const char* library;
  const char* variable;
};
constexpr FolderOverride kFolderOverrides[] = {
    {"Quor_PST", kUsbDriverFolderVariable},
    {"Quor_PST_d", kUsbDriverFolderVariable},
};

std::filesystem::path FolderFor(const std::string& library) {
  const std::filesystem::path programFolder(ProgramFolder());
  for (const auto& entry : kFolderOverrides) {
    if (library != entry.library) continue;
    const char* value = std::getenv(entry.variable);
    if (!value || !*value) break;
    const std::filesystem::path folder(value);
    return folder.is_absolute() ? folder : programFolder / folder;
  }
  return programFolder;
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
  const std::string library = WithoutDllExtension(name);
  return (FolderFor(library) / ("lib" + library + ".so")).string();
}

}  // namespace platform
