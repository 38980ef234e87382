#pragma once
#include <cxxabi.h>
#include <cstdlib>
#include <string>
#include <typeinfo>

// Type names as log lines spell them ("class ZCLComException"): g++'s own
// run-time names are mangled.
inline std::string ZCLDemangledTypeName(const std::type_info& type) {
  int status = 0;
  char* plain = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && plain) ? plain : type.name();
  std::free(plain);
  return "class " + name;
}

template <class T>
const std::string& ZCLTypeName() {
  static const std::string name = ZCLDemangledTypeName(typeid(T));
  return name;
}
