#include "java_methods.h"

#include <string>
#include <vector>

namespace jnihost {

namespace {

constexpr const char* kPackage = "com/velk/internet/tz/common/";

using Args = std::vector<Value>;

// The java.util.List a field holds, made on first use as the Java constructor would have.
Object* listOf(Host& h, Object* self, const char* field) {
  Object* list = h.getObject(self, field);
  if (list == nullptr) {
    list = h.newObject("java/util/List");
    h.setObject(self, field, list);
  }
  return list;
}

// A record of a diagnostic listener (a static nested class with final int or boolean fields).
Object* newRecord(Host& h, const char* cls, const std::vector<const char*>& fields,
                  const Args& values) {
  Object* r = h.newObject(cls);
  for (std::size_t i = 0; i < fields.size() && i < values.size(); ++i) {
    h.setInt(r, fields[i], values[i].primitive);
  }
  return r;
}

// A getter of a field: its int value, or the object it holds.
MethodBody getter(const char* field) {
  return [field](Host& h, Object* self, const Args&) {
    return h.field(self, field)->signature[0] == 'L' ? Value{0, h.getObject(self, field)}
                                                     : Value{h.getInt(self, field), nullptr};
  };
}

// A setter of an int field.
MethodBody setter(const char* field) {
  return [field](Host& h, Object* self, const Args& a) {
    h.setInt(self, field, a[0].primitive);
    return Value{};
  };
}

struct JavaMethod {
  const char* cls;  // below kPackage
  const char* name;
  const char* signature;
  MethodBody body;
};

std::vector<JavaMethod> javaMethods() {
  return {
      // CMNServer: listeners handed out by index, grown on demand (a negative index throws);
      // the two values a server keeps for all its listeners.
      {"CMNServer", "getListener", "(I)Lcom/velk/internet/tz/common/CMNListener;",
       [](Host& h, Object* self, const Args& a) {
         Object* list = listOf(h, self, "listeners");
         if (a[0].primitive < 0) {
           h.throwNew("java/lang/IndexOutOfBoundsException", std::to_string(a[0].primitive));
           return Value{};
         }
         const auto index = static_cast<std::size_t>(a[0].primitive);
         while (list->items.size() <= index) list->items.push_back(h.newObject("CMNListener"));
         return Value{0, list->items[index]};
       }},
      {"CMNServer", "addListenersFromNative", "(I)V",
       [](Host& h, Object* self, const Args& a) {
         Object* list = listOf(h, self, "listeners");
         while (static_cast<std::int64_t>(list->items.size()) < a[0].primitive) {
           list->items.push_back(h.newObject("CMNListener"));
         }
         h.setInt(self, "_iNumListeners", a[0].primitive);
         return Value{};
       }},
      {"CMNServer", "getConnectTimeout", "()I", getter("_iConnectTimeout")},
      {"CMNServer", "getIntWaitForComplete", "()I", getter("_iWaitForComplete")},
      {"CMNServer", "setWaitForContinueFromNative", "(I)V", setter("_iWaitForComplete")},
      {"CMNServer", "setConnectTimeoutFromNative", "(I)V", setter("_iConnectTimeout")},
      // CMNListener: getters and the address setter.
      {"CMNListener", "getIntAddress", "()I", getter("_iAddress")},
      {"CMNListener", "setAddress", "(I)V", setter("_iAddress")},
      {"CMNListener", "getMapPort", "()I", getter("_iMapPort")},
      {"CMNListener", "getProtocol", "()I", getter("_iProtocol")},
      {"CMNListener", "getKeyRing", "()Ljava/lang/String;", getter("_sKeyRing")},
      {"CMNListener", "getStashFile", "()Ljava/lang/String;", getter("_sStashFile")},
      // CMNWeights: server identifiers into "sServerId", grown to hold the index; a null
      // array throws, as its length is read.
      {"CMNWeights", "setServerId", "(Ljava/lang/String;I)V",
       [](Host& h, Object* self, const Args& a) {
         Object* ids = h.getObject(self, "sServerId");
         if (ids == nullptr) {
           h.throwNew("java/lang/NullPointerException", "sServerId is null");
           return Value{};
         }
         const auto index = static_cast<std::size_t>(a[1].primitive);
         if (ids->items.size() <= index) ids->items.resize(index + 1, nullptr);
         ids->items[index] = a[0].reference;
         return Value{};
       }},
      // The diagnostic listeners: a count that empties the list, then one record per call.
      {"CMNHalfOpenListener", "setNumHalfOpenRecs", "(I)V",
       [](Host& h, Object* self, const Args& a) {
         h.setInt(self, "iNumHalfOpenRecs", a[0].primitive);
         listOf(h, self, "records")->items.clear();
         return Value{};
       }},
      {"CMNHalfOpenListener", "addHalfOpenRec", "(IIIZ)V",
       [](Host& h, Object* self, const Args& a) {
         listOf(h, self, "records")
             ->items.push_back(newRecord(h, "CMNHalfOpenListener$Record",
                                         {"index", "address", "port", "flag"}, a));
         return Value{};
       }},
      {"CMNAttackListener", "reportAttackingAddrsResults", "(II)V",
       [](Host& h, Object* self, const Args& a) {
         h.setInt(self, "iNumAttackers", a[0].primitive);
         h.setInt(self, "iFigure", a[1].primitive);
         listOf(h, self, "attackers")->items.clear();
         return Value{};
       }},
      {"CMNAttackListener", "reportAttackingAddr", "(II)V",
       [](Host& h, Object* self, const Args& a) {
         listOf(h, self, "attackers")
             ->items.push_back(
                 newRecord(h, "CMNAttackListener$Attacker", {"address", "figure"}, a));
         return Value{};
       }},
  };
}

}  // namespace

void addJavaMethods(Host& host) {
  host.defineClass("java/util/List");
  for (JavaMethod& m : javaMethods()) {
    host.addMethod(host.defineClass(std::string(kPackage) + m.cls), m.name, m.signature,
                   std::move(m.body));
  }
}

void addListener(Host& host, Object* server, Object* listener) {
  Object* list = listOf(host, server, "listeners");
  list->items.push_back(listener);
  host.setInt(server, "_iNumListeners", static_cast<std::int64_t>(list->items.size()));
}

}  // namespace jnihost
