// Stands in for java.exe when velkctl.cmd runs under Wine, where there is no JVM: prints each
// argument as the C runtime split the command line, one per line between brackets (so blanks
// and quotes show), and exits with the status in JAVA_STANDIN_EXIT (0 without it).

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
  const char* status = std::getenv("JAVA_STANDIN_EXIT");
  return status != nullptr ? std::atoi(status) : 0;
}
