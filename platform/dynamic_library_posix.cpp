#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace korvanel {

void DynamicLibrary::RememberError() const {
  const char* message = ::dlerror();
  error_ = message ? message : "unknown error";
}

bool DynamicLibrary::Load(const std::string& nameOrPath) {
  Free();
  if (nameOrPath.empty()) return false;
  handle_ = ::dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) RememberError();
  return handle_ != nullptr;
}

void* DynamicLibrary::Entry(const char* name) const {
  if (!handle_) return nullptr;
  ::dlerror();
  void* entry = ::dlsym(handle_, name);
  if (!entry) RememberError();
  return entry;
}

void DynamicLibrary::Free() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace korvanel
