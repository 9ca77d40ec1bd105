// Loading a shared library at run time and looking up its entries.
#pragma once

#include <string>

namespace korvanel {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary() { Free(); }

  // Loads by plain name (the platform's search) or by path. A library the
  // process already has is shared, not refused.
  bool Load(const std::string& nameOrPath);
  void* Entry(const char* name) const;
  bool IsLoaded() const { return handle_ != nullptr; }
  void Free();
  // Why the last Load or Entry failed, as the platform tells it.
  const std::string& LastError() const { return error_; }

 private:
  void RememberError() const;

  void* handle_ = nullptr;
  mutable std::string error_;
};

}  // namespace korvanel
