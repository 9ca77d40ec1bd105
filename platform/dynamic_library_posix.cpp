#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace korvanel {

bool DynamicLibrary::Load(const std::string& nameOrPath) {
  Free();
  if (nameOrPath.empty()) return false;
  handle_ = ::dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* DynamicLibrary::Entry(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Free() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace korvanel
