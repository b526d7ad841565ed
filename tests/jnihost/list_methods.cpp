// Prints the Java methods the host gives the object classes, and the fields of the classes it
// defines beyond the generated table, as "class name descriptor" lines, for check-fields.sh to
// find in the compiled classes.

#include <cstdio>

#include "java_methods.h"

int main() {
  jnihost::Host host;
  jnihost::addJavaMethods(host);
  for (const jnihost::Class& c : host.classes()) {
    if (c.name.compare(0, 4, "com/") != 0) continue;
    for (const jnihost::MethodDef& m : c.methods) {
      std::printf("%s %s %s\n", c.name.c_str(), m.name.c_str(), m.signature.c_str());
    }
    if (c.name.find('$') == std::string::npos) continue;
    for (const jnihost::FieldDef& f : c.fields) {
      std::printf("%s %s %s\n", c.name.c_str(), f.name.c_str(), f.signature.c_str());
    }
  }
  return 0;
}
