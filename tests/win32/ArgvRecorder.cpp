// A stand-in for an outside program: writes what it was started with to "started.txt" in its
// working directory (under a temporary name, renamed when complete), then exits.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
  {
    std::ofstream out("started.txt.part");
    out << "argc=" << argc << "\n";
    for (int i = 1; i < argc; ++i) out << "arg=" << argv[i] << "\n";
    out << "cwd=" << std::filesystem::current_path().string() << "\n";
    out << "own_session=" << (getsid(0) == getpid() ? 1 : 0) << "\n";
  }
  std::rename("started.txt.part", "started.txt");
  return 0;
}
