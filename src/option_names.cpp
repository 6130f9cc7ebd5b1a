#include "src/option_names.h"

namespace Zentu {

// Each name is made on first use, so that code running during static initialisation can use it.
const Vadu::WString& TargetOption() {
  static const Vadu::WString name(u"-target");
  return name;
}

const Vadu::WString& GetXmlOption() {
  static const Vadu::WString name(u"-getxml");
  return name;
}

const Vadu::WString& IconOption() {
  static const Vadu::WString name(u"-icon");
  return name;
}

const Vadu::WString& ResourceOption() {
  static const Vadu::WString name(u"-resource");
  return name;
}

const Vadu::WString& PackResourceOption() {
  static const Vadu::WString name(u"-packresource");
  return name;
}

const Vadu::WString& OutDirOption() {
  static const Vadu::WString name(u"-outdir");
  return name;
}

const Vadu::WString& UnpackOption() {
  static const Vadu::WString name(u"-unpack");
  return name;
}

}  // namespace Zentu
