// The Java methods of the object classes that the library calls back, with C++ bodies that do
// what the Java classes in java/src/ do. A java.util.List field holds its elements in the
// list object's `items`; an object array holds its elements there too.
#pragma once

#include "jnihost.h"

namespace jnihost {

// Adds every Java method of the object classes (and the classes of their list elements).
void addJavaMethods(Host& host);

// CMNServer.addListener: appends a listener and counts it in "_iNumListeners".
void addListener(Host& host, Object* server, Object* listener);

}  // namespace jnihost
