// The list text buffer behind every list and report handed to a Java StringBuffer.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "channel/request_block.h"

namespace cmn::config {

inline constexpr std::uint32_t kListTextInitial = 10000;
inline constexpr std::uint32_t kListTextGrowth = 10000;
// Lines are formatted into a buffer of this size before they are appended.
inline constexpr std::uint32_t kListLineSize = 100;

class ListText;

// A list request of `command` for `expected` records of `run`, never more than one answer can
// hold, so that the length never passes the block. Returns the count asked for.
std::uint32_t beginList(RequestBlock& b, std::uint32_t command, const Records& run,
                        std::uint32_t expected);

// Formats one line per record with line(record offset, line buffer), for the first `count`
// records of the run (never more than it holds); stops when memory runs out. A line function
// that returns the line's length spares the list a scan for its end.
template <typename Line>
void renderList(ListText& list, Records run, std::uint32_t count, Line&& line);

// A list text buffer owned for the length of one call. It keeps its length, so an append costs
// what it adds, whatever the list holds already, and it grows by at least its own size.
class ListText {
 public:
  ListText();
  ~ListText();
  ListText(const ListText&) = delete;
  ListText& operator=(const ListText&) = delete;

  // False when the initial buffer could not be allocated.
  bool ok() const { return text_ != nullptr; }
  // Room for `added` more bytes at once, so a long list is not copied each time it doubles.
  // False when no memory could be had; the text is unchanged then.
  bool reserve(std::size_t added) { return makeRoom(added); }
  // Appends the text (the first `length` bytes of `text`, which holds no NUL among them).
  // 0, or -1 with the text unchanged when no memory could be had.
  int append(const char* text);
  int append(const char* text, std::size_t length);
  const char* text() const { return text_; }

  // Room for lines written in place at the text's end: at least kListLineSize bytes and the
  // NUL after them, or 0 when no memory could be had. The lines written are taken in with
  // commit(end), `end` the byte after the last of them.
  std::size_t lineRoom() {
    if (!makeRoom(kListLineSize)) return 0;
    return capacity_ - length_ - 1;
  }
  char* end() { return text_ + length_; }
  void commit(const char* end) {
    length_ = static_cast<std::size_t>(end - text_);
    text_[length_] = '\0';
  }
  std::size_t length() const { return length_; }
  std::uint32_t capacity() const { return capacity_; }

  // Hands the text to `stringBuffer` (java.lang.StringBuffer) as one Java string.
  void appendTo(JNIEnv* env, jobject stringBuffer) const;

 private:
  bool makeRoom(std::size_t added);

  char* text_;
  std::size_t length_;
  std::uint32_t capacity_;
};

// The line of a list entry named by a text: "+" and the text of the field [offset, offset +
// width), up to its first NUL and never past the field or the line. Returns the line's length.
inline std::size_t namedEntryLine(const RequestBlock& b, std::uint32_t offset, std::uint32_t width,
                                  char (&line)[kListLineSize]) {
  line[0] = '+';
  return 1 + b.getText(offset, width, line + 1, sizeof(line) - 1);
}

// The line of a list entry named by a number: "+" and the number in decimal. Inline: it runs
// once for each of up to 7999 entries of a list.
inline std::size_t numberedEntryLine(std::uint32_t number, char (&line)[kListLineSize]) {
  // Two digits at a time, from the right, into their places.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  const std::size_t digits = number < 10           ? 1
                             : number < 100        ? 2
                             : number < 1000       ? 3
                             : number < 10000      ? 4
                             : number < 100000     ? 5
                             : number < 1000000    ? 6
                             : number < 10000000   ? 7
                             : number < 100000000  ? 8
                             : number < 1000000000 ? 9
                                                   : 10;
  line[0] = '+';
  std::size_t at = digits;
  while (number >= 100) {
    const std::uint32_t pair = number % 100 * 2;
    number /= 100;
    line[at--] = kPairs[pair + 1];
    line[at--] = kPairs[pair];
  }
  if (number >= 10) {
    line[at--] = kPairs[number * 2 + 1];
    line[at] = kPairs[number * 2];
  } else {
    line[at] = static_cast<char>('0' + number);
  }
  line[1 + digits] = '\0';
  return 1 + digits;
}

template <typename Line>
void renderList(ListText& list, Records run, std::uint32_t count, Line&& line) {
  if (count > run.capacity) count = run.capacity;
  // A line holds a record's text and its '+' at the most: room for all of them, estimated.
  list.reserve(std::size_t{count} * (run.size < kListLineSize ? run.size + 1 : kListLineSize));
  using LineResult = decltype(line(run.first, std::declval<char(&)[kListLineSize]>()));
  char* at = nullptr;
  std::size_t room = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    // Within the run (count is): the offset computed from i lets the compiler see that the
    // record's reads stay within the block, sparing the longest lists a bound check per entry.
    const std::uint32_t entry = run.first + run.size * i;
    if constexpr (std::is_void_v<LineResult>) {
      char text[kListLineSize];
      line(entry, text);
      if (list.append(text) != 0) break;
    } else {
      // A line that says its length is written straight into the list; where it goes and the
      // room left are held here, so that a long list pays for its bookkeeping once per buffer.
      if (room < kListLineSize) {
        if (at != nullptr) list.commit(at);
        room = list.lineRoom();
        if (room == 0) break;
        at = list.end();
      }
      const std::size_t length = line(entry, *reinterpret_cast<char(*)[kListLineSize]>(at));
      at += length;
      room -= length;
    }
  }
  if (at != nullptr) list.commit(at);
}

}  // namespace cmn::config
