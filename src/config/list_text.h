// The list text buffer behind every list and report handed to a Java StringBuffer.
#pragma once

#include <jni.h>

#include <cstdint>

namespace cmn::config {

inline constexpr std::uint32_t kListTextInitial = 10000;
inline constexpr std::uint32_t kListTextGrowth = 10000;
// Lines are formatted into a buffer of this size before they are appended.
inline constexpr std::uint32_t kListLineSize = 100;

// How many list entries to ask for or to read: the executor's count, trusted only as far as
// the block can hold (a signed count of 0 or less means none).
inline std::uint32_t entriesThatFit(std::int64_t count, std::uint32_t fitting) {
  if (count <= 0) return 0;
  return count < fitting ? static_cast<std::uint32_t>(count) : fitting;
}

// Appends `text` to the heap text at *buffer of capacity *capacity, growing it to the needed
// length plus 10000 bytes when it is full. 0, or -1 with buffer and capacity unchanged when no
// memory could be had.
int appendListText(char** buffer, const char* text, std::uint32_t* capacity);

// A list text buffer owned for the length of one call.
class ListText {
 public:
  ListText();
  ~ListText();
  ListText(const ListText&) = delete;
  ListText& operator=(const ListText&) = delete;

  // False when the initial buffer could not be allocated.
  bool ok() const { return text_ != nullptr; }
  int append(const char* text) { return appendListText(&text_, text, &capacity_); }
  const char* text() const { return text_; }
  std::uint32_t capacity() const { return capacity_; }

  // Hands the text to `stringBuffer` (java.lang.StringBuffer) as one Java string.
  void appendTo(JNIEnv* env, jobject stringBuffer) const;

 private:
  char* text_;
  std::uint32_t capacity_;
};

}  // namespace cmn::config
