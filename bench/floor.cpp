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

constexpr std::size_t kBlockSize = 64016;

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool readAll(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One request and its answer: the word N, then N bytes, or 0xFFFFFFFF and an error code.
bool exchange(int fd, const std::vector<std::uint8_t>& request, std::uint8_t* block) {
  if (!writeAll(fd, request.data(), request.size())) return false;
  std::uint8_t word[4];
  if (!readAll(fd, word, sizeof(word))) return false;
  const std::uint32_t n = static_cast<std::uint32_t>(word[0]) | word[1] << 8 | word[2] << 16 |
                          static_cast<std::uint32_t>(word[3]) << 24;
  if (n == 0xFFFFFFFFu) return readAll(fd, word, sizeof(word));
  return n <= kBlockSize && readAll(fd, block, n);
}

// The connection and the requests of the case being timed.
int g_fd = -1;
std::vector<std::vector<std::uint8_t>> g_requests;
std::vector<std::uint8_t> g_block(kBlockSize);

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
  for (jsize i = 0; i < env->GetArrayLength(requests); ++i) {
    auto bytes = static_cast<jbyteArray>(env->GetObjectArrayElement(requests, i));
    std::vector<std::uint8_t> request(static_cast<std::size_t>(env->GetArrayLength(bytes)));
    env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(request.size()),
                            reinterpret_cast<jbyte*>(request.data()));
    env->DeleteLocalRef(bytes);
    g_requests.push_back(std::move(request));
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
  for (const auto& request : g_requests) {
    if (!exchange(g_fd, request, g_block.data())) return errno != 0 ? errno : EPROTO;
  }
  return 0;
}

extern "C" JNIEXPORT void JNICALL Java_com_velk_internet_tz_common_Bench_close(JNIEnv*, jclass) {
  if (g_fd >= 0) ::close(g_fd);
  g_fd = -1;
}
