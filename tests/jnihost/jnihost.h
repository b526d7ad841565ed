// An in-process JNI environment for driving the native library without a JVM.
//
// The host implements the JNI functions the library calls over a small object model: classes
// with named, typed fields (the Java object classes' fields are generated from their sources)
// and methods written in C++, strings, int and byte arrays, and java.lang.StringBuffer. A
// lookup that fails behaves as in the JVM: a null result and a pending exception. What
// -Xcheck:jni reports about a native method is a violation here, which fails the run: a JNI
// call with an exception pending, a call into Java not followed by an exception check, a field
// of the wrong type or class, an array region out of bounds, more live local references than
// the method reserved, a stale reference, and a string's characters never released.
//
// One host per thread of use; every native call runs in a local frame that the host opens and
// drops, as the JVM does.
#pragma once

#include <jni.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jnihost {

struct Object;
struct Class;

struct Value {
  std::int64_t primitive = 0;
  Object* reference = nullptr;
};

struct FieldDef {
  Class* owner;
  std::string name;
  std::string signature;
  std::size_t slot;
  std::int32_t arrayLength;  // length of the array a new object holds; -1 for none (null)
};

class Host;
using MethodBody = std::function<Value(Host&, Object* self, const std::vector<Value>& args)>;

struct MethodDef {
  Class* owner;
  std::string name;
  std::string signature;
  MethodBody body;
};

struct Class {
  std::string name;  // "java/lang/String"
  std::deque<FieldDef> fields;
  std::deque<MethodDef> methods;
  Object* object = nullptr;  // the java.lang.Class instance standing for it
};

struct Object {
  Class* cls = nullptr;
  std::vector<Value> fields;
  std::string text;                // String (modified UTF-8) and StringBuffer contents
  std::vector<std::int32_t> ints;  // int[]
  std::vector<std::int8_t> bytes;  // byte[]
  std::vector<Object*> items;      // an object array's elements, or a java.util.List's
  Class* meta = nullptr;           // the class a java.lang.Class object stands for
};

class Host {
 public:
  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  JNIEnv* env();

  // ---- The object model -----------------------------------------------------------------------
  Class* findClass(const std::string& name) const;
  // The class named `name`, defined (with no fields or methods yet) when it is not known.
  Class* defineClass(const std::string& name);
  void addField(Class* cls, const std::string& name, const std::string& signature,
                std::int32_t arrayLength = -1);
  void addMethod(Class* cls, const std::string& name, const std::string& signature,
                 MethodBody body);

  // A new object with every field at its default (arrays as the Java class creates them).
  Object* newObject(const std::string& className);
  Object* newString(const std::string& modifiedUtf8);
  Object* newIntArray(std::size_t length);
  Object* newByteArray(std::size_t length);
  // An array of `length` nulls of the class named `elementClass` ("java/lang/String").
  Object* newObjectArray(const std::string& elementClass, std::size_t length);

  // Objects made after a mark are dropped together, so that a driver making sessions of calls
  // for hours keeps its memory bounded; every pointer to them is invalid afterwards.
  std::size_t objectMark() const { return objects_.size(); }
  void dropObjectsSince(std::size_t mark) {
    while (objects_.size() > mark) objects_.pop_back();
  }

  const FieldDef* field(Object* object, const std::string& name) const;
  void setInt(Object* object, const std::string& name, std::int64_t value);
  std::int64_t getInt(Object* object, const std::string& name) const;
  void setObject(Object* object, const std::string& name, Object* value);
  Object* getObject(Object* object, const std::string& name) const;
  void setString(Object* object, const std::string& name, const char* text);

  // Every field in declaration order as "name=value" lines, for transcripts; the elements of
  // a list or an object array follow their field, each object's fields indented below it.
  std::string describe(Object* object, const std::string& indent = "  ") const;
  static std::string describeValue(const std::string& signature, const Value& value);

  // ---- Native calls ---------------------------------------------------------------------------
  // Opens the frame of one native method; argument references come from arg().
  void beginCall(const std::string& method);
  jobject arg(Object* object);
  // Drops the frame: a pending exception becomes the text returned ("" when none) and is
  // cleared, as it would be thrown into Java.
  std::string endCall();
  Object* deref(jobject ref);

  // Violations of the JNI rules since the host was made; each also went to stderr.
  const std::vector<std::string>& violations() const { return violations_; }

  // ---- Used by the JNI function table ----------------------------------------------------------
  struct Ref {
    Object* target;
    bool live;
  };
  jobject newLocal(Object* object);
  void deleteLocal(jobject ref);
  void violation(const std::string& what);
  bool pendingCheck(const char* function);  // false (and a violation) with an exception pending
  void throwNew(const std::string& className, const std::string& message);
  Object* pending = nullptr;
  std::string pendingMessage;
  bool javaCallUnchecked = false;
  std::int32_t capacity = 0;
  std::int32_t liveLocals = 0;
  bool localsOverflowed = false;
  std::vector<const char*> pinnedStrings;
  std::string method;

  struct EnvBlock;

 private:
  Object* allocate(Class* cls);
  std::unique_ptr<EnvBlock> block_;
  std::deque<Class> classes_;
  std::deque<Object> objects_;
  std::deque<Ref> refs_;
  std::vector<Ref*> frame_;
  std::vector<std::string> violations_;
};

// The classes as javap reads them from the compiled classes (generated at build time): every
// instance field, and every method, which is all a method the host offers may be.
struct JavaField {
  const char* className;
  const char* name;
  const char* signature;
  std::int32_t arrayLength;
};
struct ClassMethod {
  const char* className;
  const char* name;
  const char* signature;
};
extern const JavaField kJavaFields[];
extern const std::size_t kJavaFieldCount;
extern const ClassMethod kJavaMethods[];
extern const std::size_t kJavaMethodCount;

}  // namespace jnihost
