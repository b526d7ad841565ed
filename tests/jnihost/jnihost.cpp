#include "jnihost.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <tuple>
#include <type_traits>

namespace jnihost {

namespace {

// What a method may hold without reserving more; above it the JVM's checks warn.
constexpr std::int32_t kDefaultLocalCapacity = 32;

bool isReference(const std::string& signature) {
  return !signature.empty() && (signature[0] == 'L' || signature[0] == '[');
}

// The parameter signatures of a method signature "(ILjava/lang/String;)V".
std::vector<std::string> parameterTypes(const std::string& signature) {
  std::vector<std::string> out;
  std::size_t i = 1;
  while (i < signature.size() && signature[i] != ')') {
    std::size_t start = i;
    while (signature[i] == '[') ++i;
    if (signature[i] == 'L') i = signature.find(';', i);
    ++i;
    out.push_back(signature.substr(start, i - start));
  }
  return out;
}

}  // namespace

struct Host::EnvBlock {
  JNIEnv env;  // must come first: the library's JNIEnv* points here
  JNINativeInterface_ table;
  Host* host;
};

namespace {

Host& hostOf(JNIEnv* env) {
  return *reinterpret_cast<Host::EnvBlock*>(env)->host;
}

[[noreturn]] void unimplemented() {
  std::fprintf(stderr, "jnihost: the library called a JNI function the host does not offer\n");
  std::abort();
}

// ---- Checks shared by the functions ----------------------------------------------------------

// Every JNI function but the exception queries and the releases starts with this.
bool enter(JNIEnv* env, const char* function) {
  Host& h = hostOf(env);
  if (h.javaCallUnchecked) {
    h.violation(std::string(function) +
                " called after a call into Java without checking for "
                "an exception");
    h.javaCallUnchecked = false;
  }
  return h.pendingCheck(function);
}

Object* objectArg(JNIEnv* env, jobject ref, const char* function) {
  Host& h = hostOf(env);
  if (ref == nullptr) {
    h.violation(std::string(function) + " given a null object");
    return nullptr;
  }
  return h.deref(ref);
}

const FieldDef* fieldOf(JNIEnv* env, Object* object, jfieldID id, char type, const char* function) {
  Host& h = hostOf(env);
  if (object == nullptr || id == nullptr) {
    if (id == nullptr) h.violation(std::string(function) + " given a null field ID");
    return nullptr;
  }
  const auto* field = reinterpret_cast<const FieldDef*>(id);
  if (field->owner != object->cls) {
    h.violation(std::string(function) + ": field " + field->name + " is not a field of " +
                object->cls->name);
    return nullptr;
  }
  const bool matches = type == 'L' ? isReference(field->signature)
                                   : field->signature.size() == 1 && field->signature[0] == type;
  if (!matches) {
    h.violation(std::string(function) + ": field " + field->owner->name + "." + field->name +
                " has type " + field->signature);
    return nullptr;
  }
  return field;
}

// ---- Classes, fields, methods ----------------------------------------------------------------

jclass JNICALL jniFindClass(JNIEnv* env, const char* name) {
  if (!enter(env, "FindClass")) return nullptr;
  Host& h = hostOf(env);
  Class* cls = name != nullptr ? h.findClass(name) : nullptr;
  if (cls == nullptr) {
    h.throwNew("java/lang/NoClassDefFoundError", name != nullptr ? name : "null");
    return nullptr;
  }
  return static_cast<jclass>(h.newLocal(cls->object));
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject obj) {
  if (!enter(env, "GetObjectClass")) return nullptr;
  Object* object = objectArg(env, obj, "GetObjectClass");
  if (object == nullptr) return nullptr;
  return static_cast<jclass>(hostOf(env).newLocal(object->cls->object));
}

Class* classArg(JNIEnv* env, jclass cls, const char* function) {
  Object* object = objectArg(env, cls, function);
  if (object == nullptr) return nullptr;
  if (object->meta == nullptr) {
    hostOf(env).violation(std::string(function) + " given an object that is not a class");
  }
  return object->meta;
}

// GetFieldID, GetMethodID: a member by name and signature, or null and a pending `error`.
template <typename Id, typename Def>
Id lookup(JNIEnv* env, jclass cls, const char* name, const char* sig,
          std::deque<Def> Class::*members, const char* function, const char* error) {
  if (!enter(env, function)) return nullptr;
  Class* c = classArg(env, cls, function);
  if (c == nullptr) return nullptr;
  for (const Def& d : c->*members) {
    if (d.name == name && d.signature == sig) return reinterpret_cast<Id>(const_cast<Def*>(&d));
  }
  hostOf(env).throwNew(error, name);
  return nullptr;
}

jfieldID JNICALL getFieldID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  return lookup<jfieldID>(env, cls, name, sig, &Class::fields, "GetFieldID",
                          "java/lang/NoSuchFieldError");
}

jmethodID JNICALL getMethodID(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  return lookup<jmethodID>(env, cls, name, sig, &Class::methods, "GetMethodID",
                           "java/lang/NoSuchMethodError");
}

// Whether a field of type `signature` may hold `target`. The model has no class hierarchy:
// the exact class, or any object for a field of type Object.
bool holds(const std::string& signature, const Object* target) {
  if (signature == "Ljava/lang/Object;") return true;
  if (signature[0] == '[') return target->cls->name == signature;
  return target->cls->name == signature.substr(1, signature.size() - 2);
}

// Get<Type>Field and Set<Type>Field, named in messages by the type's letter (L an object).
template <char Type, typename T>
T JNICALL getField(JNIEnv* env, jobject obj, jfieldID id) {
  static const char name[] = {'G', 'e', 't', Type, 'F', 'i', 'e', 'l', 'd', '\0'};
  if (!enter(env, name)) return T{};
  Object* object = objectArg(env, obj, name);
  const FieldDef* f = fieldOf(env, object, id, Type, name);
  if (f == nullptr) return T{};
  if constexpr (Type == 'L') {
    return hostOf(env).newLocal(object->fields[f->slot].reference);
  } else {
    return static_cast<T>(object->fields[f->slot].primitive);
  }
}

template <char Type, typename T>
void JNICALL setField(JNIEnv* env, jobject obj, jfieldID id, T value) {
  static const char name[] = {'S', 'e', 't', Type, 'F', 'i', 'e', 'l', 'd', '\0'};
  if (!enter(env, name)) return;
  Object* object = objectArg(env, obj, name);
  const FieldDef* f = fieldOf(env, object, id, Type, name);
  if (f == nullptr) return;
  if constexpr (Type == 'L') {
    Object* target = value != nullptr ? hostOf(env).deref(value) : nullptr;
    if (target != nullptr && !holds(f->signature, target)) {
      hostOf(env).violation(std::string(name) + ": " + f->name + " given a " + target->cls->name);
      return;
    }
    object->fields[f->slot].reference = target;
  } else {
    object->fields[f->slot].primitive = static_cast<std::int64_t>(value);
  }
}

// ---- Calls into Java ---------------------------------------------------------------------------

// The arguments of a call to `m`, taken from `args` by its signature.
std::vector<Value> arguments(Host& h, const MethodDef* m, va_list args) {
  std::vector<Value> values;
  for (const std::string& p : parameterTypes(m->signature)) {
    Value v;
    if (isReference(p)) {
      jobject ref = va_arg(args, jobject);
      v.reference = ref != nullptr ? h.deref(ref) : nullptr;
    } else if (p == "J") {
      v.primitive = va_arg(args, jlong);
    } else if (p == "F" || p == "D") {
      (void)va_arg(args, double);
    } else {
      v.primitive = va_arg(args, jint);
    }
    values.push_back(v);
  }
  return values;
}

// Call<Type>MethodV on an object; NewObjectV (`returns` 'C') on a class, where the object is
// made, then `<init>` runs on it as a method does and the object is the result.
Value invoke(JNIEnv* env, jobject obj, jmethodID id, va_list args, char returns,
             const char* function) {
  Host& h = hostOf(env);
  if (!enter(env, function)) return Value{};
  Class* cls = returns == 'C' ? classArg(env, static_cast<jclass>(obj), function) : nullptr;
  Object* self = returns == 'C' ? nullptr : objectArg(env, obj, function);
  if ((self == nullptr && cls == nullptr) || id == nullptr) {
    if (id == nullptr) h.violation(std::string(function) + " given a null method ID");
    return Value{};
  }
  const auto* m = reinterpret_cast<const MethodDef*>(id);
  const std::string ret = m->signature.substr(m->signature.find(')') + 1);
  const bool fits = cls != nullptr   ? m->name == "<init>" && m->owner == cls
                    : returns == 'L' ? isReference(ret)
                                     : ret == std::string(1, returns);
  if (!fits) {
    h.violation(std::string(function) + ": method " + m->name +
                (cls != nullptr ? " is not a constructor of " + cls->name : " returns " + ret));
    return Value{};
  }
  if (cls != nullptr) self = h.newObject(cls->name);
  Value result = m->body(h, self, arguments(h, m, args));
  h.javaCallUnchecked = true;
  return cls != nullptr ? Value{0, self} : result;
}

jint JNICALL callIntMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
  return static_cast<jint>(invoke(env, obj, id, args, 'I', "CallIntMethodV").primitive);
}

jobject JNICALL callObjectMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
  return hostOf(env).newLocal(invoke(env, obj, id, args, 'L', "CallObjectMethodV").reference);
}

void JNICALL callVoidMethodV(JNIEnv* env, jobject obj, jmethodID id, va_list args) {
  invoke(env, obj, id, args, 'V', "CallVoidMethodV");
}

// A constructor that threw gives no object.
jobject JNICALL newObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list args) {
  Object* made = invoke(env, cls, id, args, 'C', "NewObjectV").reference;
  return hostOf(env).pending == nullptr ? hostOf(env).newLocal(made) : nullptr;
}

// ---- Exceptions and references ----------------------------------------------------------------

jboolean JNICALL exceptionCheck(JNIEnv* env) {
  Host& h = hostOf(env);
  h.javaCallUnchecked = false;
  return h.pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject ref) {
  if (ref != nullptr) hostOf(env).deleteLocal(ref);
}

jint JNICALL ensureLocalCapacity(JNIEnv* env, jint capacity) {
  if (!enter(env, "EnsureLocalCapacity")) return JNI_ERR;
  Host& h = hostOf(env);
  if (capacity < 0) return JNI_ERR;
  if (h.liveLocals + capacity > h.capacity) h.capacity = h.liveLocals + capacity;
  return JNI_OK;
}

// ---- Strings ------------------------------------------------------------------------------------

Object* stringArg(JNIEnv* env, jstring str, const char* function) {
  Object* object = objectArg(env, str, function);
  if (object != nullptr && object->cls->name != "java/lang/String") {
    hostOf(env).violation(std::string(function) + " given a " + object->cls->name);
    return nullptr;
  }
  return object;
}

// Whether the JVM takes `text` as it is: one-, two- and three-byte forms, each the shortest
// for its character but for NUL, which is c0 80 (surrogates come as three-byte forms).
bool isModifiedUtf8(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned c = *p;
    const auto follows = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (c < 0x80) {
      p += 1;
    } else if ((c & 0xE0) == 0xC0 && follows(p[1])) {
      if (c < 0xC2 && !(c == 0xC0 && p[1] == 0x80)) return false;
      p += 2;
    } else if ((c & 0xF0) == 0xE0 && follows(p[1]) && follows(p[2])) {
      if (c == 0xE0 && p[1] < 0xA0) return false;
      p += 3;
    } else {
      return false;
    }
  }
  return true;
}

jstring JNICALL newStringUTF(JNIEnv* env, const char* text) {
  if (!enter(env, "NewStringUTF")) return nullptr;
  if (text == nullptr) return nullptr;
  Host& h = hostOf(env);
  if (!isModifiedUtf8(text)) h.violation("NewStringUTF given text that is not modified UTF-8");
  return static_cast<jstring>(h.newLocal(h.newString(text)));
}

const char* JNICALL getStringUTFChars(JNIEnv* env, jstring str, jboolean* isCopy) {
  if (!enter(env, "GetStringUTFChars")) return nullptr;
  Object* s = stringArg(env, str, "GetStringUTFChars");
  if (s == nullptr) return nullptr;
  char* copy = static_cast<char*>(std::malloc(s->text.size() + 1));
  std::memcpy(copy, s->text.c_str(), s->text.size() + 1);
  hostOf(env).pinnedStrings.push_back(copy);
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  return copy;
}

void JNICALL releaseStringUTFChars(JNIEnv* env, jstring, const char* chars) {
  Host& h = hostOf(env);
  for (auto it = h.pinnedStrings.begin(); it != h.pinnedStrings.end(); ++it) {
    if (*it == chars) {
      std::free(const_cast<char*>(chars));
      h.pinnedStrings.erase(it);
      return;
    }
  }
  h.violation("ReleaseStringUTFChars given characters it did not hand out");
}

// ---- Arrays -------------------------------------------------------------------------------------

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
  if (!enter(env, "GetArrayLength")) return 0;
  Object* a = objectArg(env, array, "GetArrayLength");
  if (a == nullptr) return 0;
  if (a->cls->name == "[I") return static_cast<jsize>(a->ints.size());
  if (a->cls->name == "[B") return static_cast<jsize>(a->bytes.size());
  hostOf(env).violation("GetArrayLength given a " + a->cls->name);
  return 0;
}

// Get<T>ArrayRegion (Set false) and Set<T>ArrayRegion (Set true).
template <typename T, typename J, typename A, bool Set>
void JNICALL copyRegion(JNIEnv* env, A array, jsize start, jsize length,
                        std::conditional_t<Set, const J*, J*> buffer) {
  constexpr bool ints = sizeof(T) == 4;
  const std::string function =
      std::string(Set ? "Set" : "Get") + (ints ? "Int" : "Byte") + "ArrayRegion";
  Host& h = hostOf(env);
  if (!enter(env, function.c_str())) return;
  Object* a = objectArg(env, array, function.c_str());
  if (a == nullptr) return;
  if (a->cls->name != (ints ? "[I" : "[B")) {
    h.violation(function + " given a " + a->cls->name);
    return;
  }
  std::vector<T>& items = std::get<std::vector<T>&>(std::tie(a->ints, a->bytes));
  const std::int64_t size = static_cast<std::int64_t>(items.size());
  if (start < 0 || length < 0 || static_cast<std::int64_t>(start) + length > size) {
    h.violation(function + ": region " + std::to_string(start) + "+" + std::to_string(length) +
                " of an array of " + std::to_string(size));
    h.throwNew("java/lang/ArrayIndexOutOfBoundsException", "region out of bounds");
    return;
  }
  if (length == 0) return;
  if constexpr (Set) {
    std::memcpy(items.data() + start, buffer, length * sizeof(T));
  } else {
    std::memcpy(buffer, items.data() + start, length * sizeof(T));
  }
}

jbyteArray JNICALL newByteArrayJni(JNIEnv* env, jsize length) {
  if (!enter(env, "NewByteArray")) return nullptr;
  Host& h = hostOf(env);
  if (length < 0) {
    h.violation("NewByteArray given a negative length");
    return nullptr;
  }
  return static_cast<jbyteArray>(h.newLocal(h.newByteArray(static_cast<std::size_t>(length))));
}

}  // namespace

// ---- Host ---------------------------------------------------------------------------------------

Host::Host() : block_(new EnvBlock) {
  void** slots = reinterpret_cast<void**>(&block_->table);
  for (std::size_t i = 0; i < sizeof(block_->table) / sizeof(void*); ++i) {
    slots[i] = reinterpret_cast<void*>(&unimplemented);
  }
  JNINativeInterface_& t = block_->table;
  t.FindClass = jniFindClass;
  t.GetObjectClass = getObjectClass;
  t.GetFieldID = getFieldID;
  t.GetMethodID = getMethodID;
  t.GetByteField = getField<'B', jbyte>;
  t.GetCharField = getField<'C', jchar>;
  t.GetIntField = getField<'I', jint>;
  t.SetByteField = setField<'B', jbyte>;
  t.SetCharField = setField<'C', jchar>;
  t.SetIntField = setField<'I', jint>;
  t.SetLongField = setField<'J', jlong>;
  t.GetObjectField = getField<'L', jobject>;
  t.SetObjectField = setField<'L', jobject>;
  t.CallIntMethodV = callIntMethodV;
  t.CallObjectMethodV = callObjectMethodV;
  t.CallVoidMethodV = callVoidMethodV;
  t.ExceptionCheck = exceptionCheck;
  t.DeleteLocalRef = deleteLocalRef;
  t.EnsureLocalCapacity = ensureLocalCapacity;
  t.NewObjectV = newObjectV;
  t.NewStringUTF = newStringUTF;
  t.NewByteArray = newByteArrayJni;
  t.GetStringUTFChars = getStringUTFChars;
  t.ReleaseStringUTFChars = releaseStringUTFChars;
  t.GetArrayLength = getArrayLength;
  t.GetIntArrayRegion = copyRegion<std::int32_t, jint, jintArray, false>;
  t.SetIntArrayRegion = copyRegion<std::int32_t, jint, jintArray, true>;
  t.GetByteArrayRegion = copyRegion<std::int8_t, jbyte, jbyteArray, false>;
  t.SetByteArrayRegion = copyRegion<std::int8_t, jbyte, jbyteArray, true>;
  block_->env.functions = &block_->table;
  block_->host = this;

  for (const char* name :
       {"java/lang/Class", "java/lang/Object", "java/lang/String", "[I", "[B",
        "java/lang/NoSuchFieldError", "java/lang/NoSuchMethodError",
        "java/lang/NoClassDefFoundError", "java/lang/ArrayIndexOutOfBoundsException",
        "java/lang/StringIndexOutOfBoundsException"}) {
    defineClass(name);
  }
  // String(byte[] ascii, int hibyte, int offset, int count): each byte one character, its high
  // byte `hibyte`; the range must lie within the array, as Java checks.
  addMethod(findClass("java/lang/String"), "<init>", "([BIII)V",
            [](Host& h, Object* self, const std::vector<Value>& args) {
              const Object* ascii = args[0].reference;
              const std::int64_t offset = args[2].primitive, count = args[3].primitive;
              if (ascii == nullptr || offset < 0 || count < 0 ||
                  offset + count > static_cast<std::int64_t>(ascii->bytes.size())) {
                h.throwNew("java/lang/StringIndexOutOfBoundsException", "ascii range");
                return Value{};
              }
              for (std::int64_t i = offset; i < offset + count; ++i) {
                const auto byte = static_cast<unsigned char>(ascii->bytes[i]);
                // The model keeps text as modified UTF-8: only ASCII with a high byte of 0 is
                // the same character in both.
                if (args[1].primitive != 0 || byte == 0 || byte >= 0x80) {
                  h.violation("String(byte[], int, int, int) given a character beyond ASCII");
                }
                self->text += static_cast<char>(byte);
              }
              return Value{};
            });
  Class* buffer = defineClass("java/lang/StringBuffer");
  addMethod(buffer, "append", "(Ljava/lang/String;)Ljava/lang/StringBuffer;",
            [](Host&, Object* self, const std::vector<Value>& args) {
              self->text += args[0].reference != nullptr ? args[0].reference->text : "null";
              return Value{0, self};
            });
  addMethod(buffer, "toString", "()Ljava/lang/String;",
            [](Host& h, Object* self, const std::vector<Value>&) {
              return Value{0, h.newString(self->text)};
            });
  for (std::size_t i = 0; i < kJavaFieldCount; ++i) {
    const JavaField& f = kJavaFields[i];
    addField(defineClass(f.className), f.name, f.signature, f.arrayLength);
  }
}

Host::~Host() {
  for (const char* chars : pinnedStrings) std::free(const_cast<char*>(chars));
}

JNIEnv* Host::env() {
  return &block_->env;
}

Class* Host::findClass(const std::string& name) const {
  for (const Class& c : classes_) {
    if (c.name == name) return const_cast<Class*>(&c);
  }
  return nullptr;
}

Class* Host::defineClass(const std::string& name) {
  if (Class* known = findClass(name)) return known;
  classes_.push_back(Class{});
  Class* cls = &classes_.back();
  cls->name = name;
  objects_.push_back(Object{});
  cls->object = &objects_.back();
  cls->object->meta = cls;
  Class* meta = findClass("java/lang/Class");
  cls->object->cls = meta != nullptr ? meta : cls;
  return cls;
}

void Host::addField(Class* cls, const std::string& name, const std::string& signature,
                    std::int32_t arrayLength) {
  cls->fields.push_back(FieldDef{cls, name, signature, cls->fields.size(), arrayLength});
}

void Host::addMethod(Class* cls, const std::string& name, const std::string& signature,
                     MethodBody body) {
  bool known = cls->name.compare(0, 4, "com/") != 0;
  for (std::size_t i = 0; i < kJavaMethodCount && !known; ++i) {
    const ClassMethod& m = kJavaMethods[i];
    known = cls->name == m.className && name == m.name && signature == m.signature;
  }
  if (!known) {
    std::fprintf(stderr, "jnihost: the compiled %s has no method %s%s\n", cls->name.c_str(),
                 name.c_str(), signature.c_str());
    std::abort();
  }
  cls->methods.push_back(MethodDef{cls, name, signature, std::move(body)});
}

Object* Host::newObject(const std::string& className) {
  Class* cls = findClass(className);
  if (cls == nullptr) cls = findClass("com/velk/internet/tz/common/" + className);
  if (cls == nullptr) {
    std::fprintf(stderr, "jnihost: no class %s\n", className.c_str());
    std::abort();
  }
  Object* object = allocate(cls);
  object->fields.resize(cls->fields.size());
  for (const FieldDef& f : cls->fields) {
    if (f.arrayLength < 0) continue;
    if (f.signature == "[I") object->fields[f.slot].reference = newIntArray(f.arrayLength);
    if (f.signature == "[B") object->fields[f.slot].reference = newByteArray(f.arrayLength);
  }
  return object;
}

Object* Host::allocate(Class* cls) {
  objects_.push_back(Object{});
  objects_.back().cls = cls;
  return &objects_.back();
}

Object* Host::newString(const std::string& modifiedUtf8) {
  Object* o = allocate(findClass("java/lang/String"));
  o->text = modifiedUtf8;
  return o;
}

Object* Host::newObjectArray(const std::string& elementClass, std::size_t length) {
  const std::string name = "[L" + elementClass + ";";
  Object* o = allocate(defineClass(name));
  o->items.assign(length, nullptr);
  return o;
}

Object* Host::newIntArray(std::size_t length) {
  Object* o = allocate(findClass("[I"));
  o->ints.assign(length, 0);
  return o;
}

Object* Host::newByteArray(std::size_t length) {
  Object* o = allocate(findClass("[B"));
  o->bytes.assign(length, 0);
  return o;
}

const FieldDef* Host::field(Object* object, const std::string& name) const {
  for (const FieldDef& f : object->cls->fields) {
    if (f.name == name) return &f;
  }
  std::fprintf(stderr, "jnihost: %s has no field %s\n", object->cls->name.c_str(), name.c_str());
  std::abort();
}

void Host::setInt(Object* object, const std::string& name, std::int64_t value) {
  object->fields[field(object, name)->slot].primitive = value;
}

std::int64_t Host::getInt(Object* object, const std::string& name) const {
  return object->fields[field(object, name)->slot].primitive;
}

void Host::setObject(Object* object, const std::string& name, Object* value) {
  object->fields[field(object, name)->slot].reference = value;
}

Object* Host::getObject(Object* object, const std::string& name) const {
  return object->fields[field(object, name)->slot].reference;
}

void Host::setString(Object* object, const std::string& name, const char* text) {
  setObject(object, name, text != nullptr ? newString(text) : nullptr);
}

std::string Host::describeValue(const std::string& signature, const Value& value) {
  if (!isReference(signature)) return std::to_string(value.primitive);
  const Object* o = value.reference;
  if (o == nullptr) return "null";
  std::ostringstream out;
  if (signature == "Ljava/lang/String;") {
    out << '"' << o->text << '"';
  } else if (signature == "[I" || signature == "[B") {
    // Arrays as their length and items up to the last one that is not zero.
    std::vector<std::int64_t> items(o->ints.begin(), o->ints.end());
    items.insert(items.end(), o->bytes.begin(), o->bytes.end());  // one of them is empty
    out << '[' << items.size() << ':';
    while (!items.empty() && items.back() == 0) items.pop_back();
    for (std::size_t i = 0; i < items.size(); ++i) out << (i ? "," : "") << items[i];
    out << ']';
  } else {
    out << '<' << o->cls->name << '>';
  }
  return out.str();
}

std::string Host::describe(Object* object, const std::string& indent) const {
  std::ostringstream out;
  for (const FieldDef& f : object->cls->fields) {
    const Value& v = object->fields[f.slot];
    out << indent << f.name << '=' << describeValue(f.signature, v) << '\n';
    if (v.reference == nullptr) continue;
    const std::vector<Object*>& items = v.reference->items;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Object* item = items[i];
      out << indent << "  [" << i << "] ";
      if (item == nullptr) {
        out << "null\n";
      } else if (item->cls->name == "java/lang/String") {
        out << '"' << item->text << "\"\n";
      } else {
        out << item->cls->name.substr(item->cls->name.rfind('/') + 1) << '\n'
            << describe(const_cast<Object*>(item), indent + "    ");
      }
    }
  }
  return out.str();
}

void Host::beginCall(const std::string& name) {
  method = name;
  capacity = kDefaultLocalCapacity;
  liveLocals = 0;
  localsOverflowed = false;
  javaCallUnchecked = false;
}

jobject Host::arg(Object* object) {
  return object != nullptr ? newLocal(object) : nullptr;
}

std::string Host::endCall() {
  std::string thrown;
  if (pending != nullptr) {
    thrown = pending->cls->name + ": " + pendingMessage;
    pending = nullptr;
    pendingMessage.clear();
  }
  if (!pinnedStrings.empty()) {
    violation(std::to_string(pinnedStrings.size()) + " string(s) never released");
    for (const char* chars : pinnedStrings) std::free(const_cast<char*>(chars));
    pinnedStrings.clear();
  }
  // The frame's references die with it; forgetting them keeps a long run's memory bounded (a
  // reference kept past its frame then reads as an invalid one).
  frame_.clear();
  refs_.clear();
  liveLocals = 0;
  javaCallUnchecked = false;
  return thrown;
}

Object* Host::deref(jobject ref) {
  auto* r = reinterpret_cast<Ref*>(ref);
  for (const Ref& known : refs_) {
    if (&known == r) {
      if (!r->live) {
        violation("a deleted or dropped local reference was used");
        return nullptr;
      }
      return r->target;
    }
  }
  violation("an invalid reference was used");
  return nullptr;
}

jobject Host::newLocal(Object* object) {
  if (object == nullptr) return nullptr;
  refs_.push_back(Ref{object, true});
  frame_.push_back(&refs_.back());
  ++liveLocals;
  if (liveLocals > capacity && !localsOverflowed) {
    localsOverflowed = true;
    violation("local references: " + std::to_string(liveLocals) + ", exceeds capacity " +
              std::to_string(capacity));
  }
  return reinterpret_cast<jobject>(&refs_.back());
}

void Host::deleteLocal(jobject ref) {
  auto* r = reinterpret_cast<Ref*>(ref);
  for (std::size_t i = 0; i < frame_.size(); ++i) {
    if (frame_[i] == r) {
      if (!r->live) break;
      r->live = false;
      --liveLocals;
      return;
    }
  }
  violation("DeleteLocalRef given a reference that is not a live local one");
}

void Host::violation(const std::string& what) {
  const std::string text = method + ": " + what;
  std::fprintf(stderr, "JNI CHECK FAILED in %s\n", text.c_str());
  violations_.push_back(text);
}

bool Host::pendingCheck(const char* function) {
  if (pending == nullptr) return true;
  violation(std::string(function) + " called with an exception pending");
  return false;
}

void Host::throwNew(const std::string& className, const std::string& message) {
  pending = allocate(defineClass(className));
  pendingMessage = message;
}

}  // namespace jnihost
