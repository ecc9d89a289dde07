#pragma once
// Loading a shared library by name, as the system's LoadLibrary does: a name
// such as "Quor_PST" or "Quor_PST.DLL" maps to lib<Name>.so in the folder of
// the running program. The USB driver library alone may come from another
// folder: the one that QUILLON_USB_DRIVER names (absolute, or relative to
// the program's folder), so QUILLON_USB_DRIVER=libusb takes the libusb build
// of the build tree instead of the stand-in.

#include <memory>
#include <string>

namespace platform {

class DynamicLibrary {
 public:
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Null when the library cannot be loaded; *error then says why.
  static std::unique_ptr<DynamicLibrary> Load(const std::string& name, std::string* error = nullptr);

  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  template <class F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }

  const std::string& Path() const { return path_; }

 private:
  DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void* handle_;
  std::string path_;
};

inline constexpr const char* kUsbDriverFolderVariable = "QUILLON_USB_DRIVER";

// The folder that holds the running program, and the program's file name.
std::string ProgramFolder();
std::string ProgramName();
// The file a library name maps to: <program folder>/lib<Name>.so (a
// trailing ".dll" of any case is dropped; the USB driver's folder as above).
std::string LibraryFileFor(const std::string& name);

}  // namespace platform
