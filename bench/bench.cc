// Whole-process timings of Wadrix beside the yardstick per-line fprintf
// writer, od, and dd writing the same number of bytes with no work at all.
// Usage: wadrix_bench <Wadrix> <fprintf_dump> <work_folder> [runs]
// Makes its own random inputs in work_folder (which should sit on the disk the
// dumps are written to) and prints medians, input MB/s and the ratios.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

struct Measure {
  double seconds;
  long max_rss_kib;
};

// Runs `args` with standard output sent to /dev/null; exits on failure.
Measure Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open("/dev/null", O_WRONLY);
    if (out < 0 || dup2(out, 1) < 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "wadrix_bench: %s failed\n", args[0].c_str());
    std::exit(1);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), usage.ru_maxrss};
}

void MakeRandomFile(const std::string& path, uint64_t size) {
  std::mt19937_64 generator(20261211);
  std::vector<uint64_t> block(kMiB / 8);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (uint64_t done = 0; done < size; done += kMiB) {
    for (uint64_t& word : block) word = generator();
    out.write(reinterpret_cast<const char*>(block.data()),
              static_cast<std::streamsize>(std::min<uint64_t>(kMiB, size - done)));
  }
  if (!out) {
    std::fprintf(stderr, "wadrix_bench: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs("usage: wadrix_bench <Wadrix> <fprintf_dump> <work_folder> [runs]\n", stderr);
    return 2;
  }
  const std::string wadrix = argv[1];
  const std::string yardstick = argv[2];
  const std::string dir = argv[3];
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  mkdir(dir.c_str(), 0755);
  const std::string input = dir + "/random-64mib.bin";
  const std::string dump = dir + "/dump.ik";
  const std::string zeros = dir + "/zeros.out";
  const uint64_t input_size = 64 * kMiB;
  MakeRandomFile(input, input_size);

  // The dump of this input has a fixed size; dd writes as many bytes.
  Run({wadrix, input, dump});
  const uint64_t dump_size = FileSize(dump);
  unlink(dump.c_str());

  struct Command {
    const char* name;
    std::vector<std::string> args;
    std::string removed_before;  // the output, so that no run replaces an old file
    std::vector<double> times;
    double median = 0;
  };
  std::vector<Command> commands = {
      {"Wadrix to /dev/null", {wadrix, input, "/dev/null"}, "", {}},
      {"fprintf yardstick to /dev/null", {yardstick, input, "/dev/null"}, "", {}},
      {"od -An -v -tx4 -w4 to /dev/null", {"od", "-An", "-v", "-tx4", "-w4", input}, "", {}},
      {"Wadrix to a file", {wadrix, input, dump}, dump, {}},
      {"dd if=/dev/zero bs=1M, same bytes",
       {"dd", "if=/dev/zero", "of=" + zeros, "bs=1M", "count=" + std::to_string(dump_size),
        "iflag=count_bytes", "status=none"},
       zeros,
       {}},
  };
  // Rounds take every command once, so that all of them see the same machine.
  for (int round = 0; round < runs; ++round) {
    for (Command& command : commands) {
      if (!command.removed_before.empty()) unlink(command.removed_before.c_str());
      command.times.push_back(Run(command.args).seconds);
    }
  }
  unlink(dump.c_str());
  unlink(zeros.c_str());

  std::printf("CPU: %s\n", CpuModel().c_str());
  std::printf("Input: 64 MiB of random bytes (%llu bytes); dump: %llu bytes; median of %d runs\n\n",
              static_cast<unsigned long long>(input_size),
              static_cast<unsigned long long>(dump_size), runs);
  std::printf("%-36s %10s %14s\n", "command", "seconds", "input MB/s");
  for (Command& command : commands) {
    command.median = Median(command.times);
    std::printf("%-36s %10.3f %14.0f\n", command.name, command.median,
                input_size / 1e6 / command.median);
  }
  const double wadrix_null = commands[0].median;
  const double yardstick_null = commands[1].median;
  const double od_null = commands[2].median;
  const double wadrix_file = commands[3].median;
  const double dd_file = commands[4].median;
  std::printf("\n%-52s %8s %10s\n", "ratio", "value", "goal");
  std::printf("%-52s %8.1f %10s\n", "yardstick / Wadrix, to /dev/null",
              yardstick_null / wadrix_null, ">= 20");
  std::printf("%-52s %8.1f %10s\n", "od / Wadrix, to /dev/null", od_null / wadrix_null, ">= 10");
  std::printf("%-52s %8.2f %10s\n", "Wadrix / dd, to a file", wadrix_file / dd_file, "<= 3");

  // Memory must not grow with the input.
  const std::string small = dir + "/random-4kib.bin";
  const std::string large = dir + "/random-256mib.bin";
  MakeRandomFile(small, 4096);
  MakeRandomFile(large, 256 * kMiB);
  const long small_rss = Run({wadrix, small, "/dev/null"}).max_rss_kib;
  const long large_rss = Run({wadrix, large, "/dev/null"}).max_rss_kib;
  unlink(small.c_str());
  unlink(large.c_str());
  unlink(input.c_str());
  std::printf(
      "\npeak resident memory: %ld KiB for 4 KiB of input, %ld KiB for 256 MiB (%+ld KiB, "
      "goal <= +2048)\n",
      small_rss, large_rss, large_rss - small_rss);
  return 0;
}
