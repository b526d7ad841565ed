// The floor of a call: the same request bytes the library sent, written to the same executor
// socket by a minimal client, each answer read whole into a block of the library's size. What a
// library call costs beyond this is the library's own time.
#include <jni.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
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
    const ssize_t n = ::read(fd, data, size);
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

std::int64_t now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

// Replays `requests` (byte[][], one call's requests in order) once per element of `nanos` over
// one connection to `device`, storing each call's time in nanoseconds. 0, or an errno.
extern "C" JNIEXPORT jint JNICALL Java_com_velk_internet_tz_common_Bench_replay(
    JNIEnv* env, jclass, jstring device, jobjectArray requests, jlongArray nanos) {
  const char* path = env->GetStringUTFChars(device, nullptr);
  if (path == nullptr) return ENOMEM;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const bool fits = std::strlen(path) < sizeof(address.sun_path);
  if (fits) std::strcpy(address.sun_path, path);
  env->ReleaseStringUTFChars(device, path);
  if (!fits) return ENAMETOOLONG;

  std::vector<std::vector<std::uint8_t>> calls;
  for (jsize i = 0; i < env->GetArrayLength(requests); ++i) {
    auto bytes = static_cast<jbyteArray>(env->GetObjectArrayElement(requests, i));
    std::vector<std::uint8_t> request(static_cast<std::size_t>(env->GetArrayLength(bytes)));
    env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(request.size()),
                            reinterpret_cast<jbyte*>(request.data()));
    env->DeleteLocalRef(bytes);
    calls.push_back(std::move(request));
  }
  const jsize count = env->GetArrayLength(nanos);
  std::vector<jlong> times(static_cast<std::size_t>(count));
  std::vector<std::uint8_t> block(kBlockSize);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return errno;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  int result = 0;
  for (jsize i = 0; i < count && result == 0; ++i) {
    const std::int64_t start = now();
    for (const auto& request : calls) {
      if (!exchange(fd, request, block.data())) {
        result = errno != 0 ? errno : EPROTO;
        break;
      }
    }
    times[static_cast<std::size_t>(i)] = now() - start;
  }
  ::close(fd);
  env->SetLongArrayRegion(nanos, 0, count, times.data());
  return result;
}
