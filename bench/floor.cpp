// The floor of a call: the same request bytes the library sent, written to the same executor
// socket by a minimal client, each answer read whole into a block of the library's size. What a
// library call costs beyond this is the library's own time.
#include <jni.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The library's block: a request is sent from one block, its answer read into a buffer of the
// block's size, as the library's device call does (less the library's own work: the poll of the
// cached connection before each write, the copy of the answer into the request block).
constexpr std::size_t kBlockSize = 64016;

// Writes all of `data`, as the library does (a signal's interruption resumes the write).
bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads exactly `size` bytes, as the library does.
bool readAll(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::recv(fd, data + done, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The connection, the requests of the case being timed (one after the other in one buffer,
// `g_lengths` their lengths) and the buffer each answer is read into.
int g_fd = -1;
std::vector<std::uint8_t> g_requests;
std::vector<std::size_t> g_lengths;
std::uint8_t g_answer[kBlockSize];

// One request and its answer: the word N, then N bytes, or 0xFFFFFFFF and an error code.
bool exchange(int fd, const std::uint8_t* request, std::size_t length) {
  if (!writeAll(fd, request, length)) return false;
  std::uint8_t word[4];
  if (!readAll(fd, word, sizeof(word))) return false;
  const std::uint32_t n = static_cast<std::uint32_t>(word[0]) | word[1] << 8 | word[2] << 16 |
                          static_cast<std::uint32_t>(word[3]) << 24;
  if (n == 0xFFFFFFFFu) return readAll(fd, word, sizeof(word));
  return n <= kBlockSize && readAll(fd, g_answer, n);
}

}  // namespace

// Connects to `device` and keeps `requests` (byte[][], one call's requests in order) for
// replay(). 0, or an errno.
extern "C" JNIEXPORT jint JNICALL Java_com_velk_internet_tz_common_Bench_open(
    JNIEnv* env, jclass, jstring device, jobjectArray requests) {
  const char* path = env->GetStringUTFChars(device, nullptr);
  if (path == nullptr) return ENOMEM;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const bool fits = std::strlen(path) < sizeof(address.sun_path);
  if (fits) std::strcpy(address.sun_path, path);
  env->ReleaseStringUTFChars(device, path);
  if (!fits) return ENAMETOOLONG;

  g_requests.clear();
  g_lengths.clear();
  for (jsize i = 0; i < env->GetArrayLength(requests); ++i) {
    auto bytes = static_cast<jbyteArray>(env->GetObjectArrayElement(requests, i));
    const jsize length = env->GetArrayLength(bytes);
    const std::size_t at = g_requests.size();
    g_requests.resize(at + static_cast<std::size_t>(length));
    env->GetByteArrayRegion(bytes, 0, length, reinterpret_cast<jbyte*>(g_requests.data() + at));
    env->DeleteLocalRef(bytes);
    g_lengths.push_back(static_cast<std::size_t>(length));
  }
  if (g_fd >= 0) ::close(g_fd);
  g_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (g_fd < 0) return errno;
  if (::connect(g_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    ::close(g_fd);
    g_fd = -1;
    return error;
  }
  return 0;
}

// One call's requests, each answer read whole. 0, or an errno. Timed by the caller exactly as
// a library call is, so that both include one pass from Java into native code and back.
extern "C" JNIEXPORT jint JNICALL Java_com_velk_internet_tz_common_Bench_replay(JNIEnv*, jclass) {
  const std::uint8_t* request = g_requests.data();
  for (const std::size_t length : g_lengths) {
    if (!exchange(g_fd, request, length)) return errno != 0 ? errno : EPROTO;
    request += length;
  }
  return 0;
}

extern "C" JNIEXPORT void JNICALL Java_com_velk_internet_tz_common_Bench_close(JNIEnv*, jclass) {
  if (g_fd >= 0) ::close(g_fd);
  g_fd = -1;
}
