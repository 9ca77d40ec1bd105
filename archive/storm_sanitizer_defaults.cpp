// Linked into every program of a sanitizer build (see CMakeLists.txt).
//
// The archive library is not built with the sanitizer, so its own faults on
// damaged maps are not ours to report: a worker process contains them as it
// does in a normal build. Two of them cost minutes per run otherwise:
// - its reads into too small buffers trip the read interceptor, and every
//   report is symbolized before the worker stops;
// - sector sizes of up to 2 GiB, which it allocates as given, make the
//   sanitizer's allocator write the shadow of every byte; refused as a
//   normal allocator would refuse a request past the memory it has.
extern "C" const char* __asan_default_suppressions() { return "interceptor_via_lib:libstorm.so\n"; }

extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}
