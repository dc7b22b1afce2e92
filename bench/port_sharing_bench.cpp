// One receiver's feed shared among programs: from the input pseudo-terminal through the device
// manager's virtual port (a writer that pulls the input, listeners that only receive) to 1 and 8
// clients, beside gpsd fanning the same feed out to as many TCP watchers in raw mode. Latency of
// paced lines, the highest rate at which every client still gets every byte, and the servers' CPU while
// the clients wait for input that does not come.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/ratio_reporter.h"
#include "driver/registry/driver_keys.h"
#include "platform/devices/device.h"
#include "platform/devices/device_manager.h"
#include "platform/devices/port_map.h"
#include "platform/devices/serial_control.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kBurstBytes = 1 << 20;
constexpr size_t kBurstChunk = 4096;       // what one write into the terminal carries
constexpr double kFirstRate = 256 * 1024;  // bytes a second; doubled step by step
constexpr double kLastRate = 32 << 20;     // beyond it: as fast as the terminal takes the bytes
constexpr size_t kReadSize = 64 * 1024;    // what a client asks for in one read
constexpr uint32_t kWriterWaitMs = 200;    // how long a read of the writer waits for a first byte
constexpr auto kPacedFor = 3s;
constexpr auto kIdleFor = 5s;
constexpr auto kStall = 3s;  // no client got anything for this long: the rest is lost
constexpr double kP99TargetUs = 2000;
constexpr double kIdleTargetPercent = 0.1;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ---- the feed: NMEA text sentences that carry the run, a sequence number and the send time

std::string Line(int run, int seq, int64_t sentNs) {
  char body[96];
  std::snprintf(body, sizeof body, "GPTXT,01,01,%02d,%d %lld", run, seq, static_cast<long long>(sentNs));
  unsigned sum = 0;
  for (const char* c = body; *c != '\0'; ++c) sum ^= static_cast<unsigned char>(*c);
  char line[112];
  std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, sum);
  return line;
}

struct Parsed {
  int run = -1, seq = -1;
  int64_t sentNs = 0;
};

// A line of the feed as it arrived, line end included; anything else (gpsd's JSON, a torn or
// corrupted line) is no line of the feed. Cheap, because eight clients check every line.
std::optional<Parsed> ParseLine(std::string_view text) {
  constexpr std::string_view kHead = "$GPTXT,01,01,";
  const size_t star = text.rfind('*');
  if (!text.starts_with(kHead) || star == std::string_view::npos || text.size() != star + 5 ||
      !text.ends_with("\r\n")) {
    return {};
  }
  unsigned sum = 0, stated = 0;
  for (const char c : text.substr(1, star - 1)) sum ^= static_cast<unsigned char>(c);
  if (std::from_chars(text.data() + star + 1, text.data() + star + 3, stated, 16).ec != std::errc{} || sum != stated) {
    return {};
  }
  Parsed p;
  const char* end = text.data() + star;
  auto at = std::from_chars(text.data() + kHead.size(), end, p.run);
  if (at.ec == std::errc{} && at.ptr < end && *at.ptr == ',') at = std::from_chars(at.ptr + 1, end, p.seq);
  if (at.ec == std::errc{} && at.ptr < end && *at.ptr == ' ') at = std::from_chars(at.ptr + 1, end, p.sentNs);
  if (at.ec != std::errc{} || at.ptr != end) return {};
  return p;
}

void WriteAll(int fd, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n > 0) {
      at += static_cast<size_t>(n);
    } else if (errno != EINTR) {
      std::perror("port_sharing_bench: write");
      std::exit(1);
    }
  }
}

// ---- the two ways to the clients

class Receiver {
 public:
  virtual ~Receiver() = default;
  // Bytes that arrived within a fraction of a second, maybe none.
  virtual size_t Receive(char* buffer, size_t capacity) = 0;
  uint64_t overtaken = 0;  // reads that said data was lost
};

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  Pty() {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) std::abort();
    path = name;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);  // no echo back into the master, which nobody reads
    tcsetattr(slave, TCSANOW, &raw);
    fchmod(slave, 0666);  // a server that drops its privileges still opens it
  }
  ~Pty() {
    close(master);
    close(slave);
  }
};

class Server {
 public:
  virtual ~Server() = default;
  // A writer's reads wait writerWaitMs for a first byte (the program's time-out).
  virtual std::unique_ptr<Receiver> Attach(bool writer, uint32_t writerWaitMs) = 0;
  virtual pid_t Pid() const = 0;
  int Feed() const { return pty_.master; }

 protected:
  Pty pty_;
};

class PortClient : public Receiver {
 public:
  PortClient(bool writer, uint32_t writerWaitMs)
      : device_(platform::OpenDevice("COM6:", platform::kGenericRead | (writer ? platform::kGenericWrite : 0),
                                     platform::kFileShareRead | platform::kFileShareWrite)) {
    if (device_ == nullptr) std::abort();
    // As a navigation program reads a port: whatever is there as soon as a byte came, or nothing
    // after a while.
    platform::SerialTimeouts timeouts{0xFFFFFFFFu, 0xFFFFFFFFu, writerWaitMs, 0, 0};
    if (writer) device_->IoControl(platform::kIoctlSerialSetTimeouts, &timeouts, sizeof timeouts, nullptr, 0, nullptr);
  }
  size_t Receive(char* buffer, size_t capacity) override {
    size_t count = 0;
    const bool read = device_->Read(buffer, capacity, &count);
    if (count == 0 && platform::GetLastError() == platform::kErrorInvalidData) ++overtaken;
    if (!read) std::this_thread::sleep_for(10ms);
    return count;
  }

 private:
  std::unique_ptr<platform::Device> device_;
};

class VirtualPortServer : public Server {
 public:
  VirtualPortServer() {
    platform::RegistryKey map;
    platform::RegistryKey::Create(platform::Hive::kLocalMachine, platform::kPortMapKey, map);
    map.SetString("COM3:", pty_.path);
    driver::WriteDriverKey("Drivers\\SercastNG", driver::MakeDriverKeyValues("SercastNG", "COM3:", 3, "", 6));
    std::string message;
    if (platform::ActivateDevice("Drivers\\SercastNG", &message) != "COM6:") {
      std::fprintf(stderr, "cannot activate the virtual port: %s\n", message.c_str());
      std::exit(1);
    }
  }
  ~VirtualPortServer() override { platform::StopDeviceManager(); }
  std::unique_ptr<Receiver> Attach(bool writer, uint32_t writerWaitMs) override {
    return std::make_unique<PortClient>(writer, writerWaitMs);
  }
  pid_t Pid() const override {
    std::ifstream lock(fs::path(getenv("DW_SYSTEM_ROOT")) / "run" / "devmgrd.lock");
    pid_t pid = 0;
    lock >> pid;
    return pid;
  }
};

// A client on a socket of its own: gpsd's watchers and the floor's clients.
class SocketClient : public Receiver {
 public:
  explicit SocketClient(int fd) : fd_(fd) {}
  ~SocketClient() override { close(fd_); }
  size_t Receive(char* buffer, size_t capacity) override {
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, 200) <= 0) return 0;
    const ssize_t n = recv(fd_, buffer, capacity, 0);
    return n > 0 ? static_cast<size_t>(n) : 0;
  }

 protected:
  int fd_;
};

class WatchClient : public SocketClient {
 public:
  explicit WatchClient(int port) : SocketClient(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int tries = 0; connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0; ++tries) {
      if (tries == 100) std::abort();
      close(fd_);
      fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      std::this_thread::sleep_for(50ms);
    }
    WriteAll(fd_, "?WATCH={\"enable\":true,\"raw\":1};\n");
  }
};

class GpsdServer : public Server {
 public:
  GpsdServer() : port_(FreePort()) {
    std::string port = std::to_string(port_);
    std::vector<std::string> args{"gpsd", "-N", "-n", "-b", "-S", port, pty_.path};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~GpsdServer() override {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::unique_ptr<Receiver> Attach(bool, uint32_t) override { return std::make_unique<WatchClient>(port_); }
  pid_t Pid() const override { return pid_; }

 private:
  static int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
  }

  int port_;
  pid_t pid_ = 0;
};

// The least any fan-out does, as a floor for the latency on this machine: one thread that waits
// for the terminal and writes what it read into a socket pair per client.
class FloorServer : public Server {
 public:
  FloorServer() : thread_([this] { Serve(); }) {}
  ~FloorServer() override {
    stop_ = true;
    thread_.join();
    for (const int fd : ends_) close(fd);
  }
  std::unique_ptr<Receiver> Attach(bool, uint32_t) override {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
    std::lock_guard lock(lock_);
    ends_.push_back(pair[0]);
    return std::make_unique<SocketClient>(pair[1]);
  }
  pid_t Pid() const override { return getpid(); }

 private:
  void Serve() {
    std::vector<char> buffer(kReadSize);
    while (!stop_) {
      pollfd entry{pty_.slave, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) continue;
      const ssize_t n = read(pty_.slave, buffer.data(), buffer.size());
      if (n <= 0) continue;
      std::lock_guard lock(lock_);
      // A client that left is no longer read: what it is sent is dropped with its end.
      for (const int fd : ends_) [[maybe_unused]] const ssize_t sent = send(fd, buffer.data(), n, MSG_NOSIGNAL);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<int> ends_;
  std::thread thread_;
};

// ---- clients: threads that read, cut lines and note what arrived

struct Tally {
  std::vector<int64_t> latenciesNs;
  std::atomic<uint64_t> bytes{0};  // of the measured lines
  std::atomic<int64_t> lastNs{0};  // when the last of them arrived
  std::atomic<bool> warm{false};   // any line of the run arrived
};

class Clients {
 public:
  Clients(Server& server, int count, int run, uint32_t writerWaitMs = kWriterWaitMs)
      : run_(run), tallies_(static_cast<size_t>(count)) {
    for (int i = 0; i < count; ++i) receivers_.push_back(server.Attach(i == 0, writerWaitMs));
    for (int i = 0; i < count; ++i) threads_.emplace_back([this, i] { Read(*receivers_[i], tallies_[i]); });
  }
  ~Clients() { Stop(); }

  void Stop() {
    stop_ = true;
    for (auto& thread : threads_) thread.join();
    threads_.clear();
  }
  bool Warm() const {
    return std::all_of(tallies_.begin(), tallies_.end(), [](const Tally& t) { return t.warm.load(); });
  }
  uint64_t Received() const {
    uint64_t all = 0;
    for (const Tally& t : tallies_) all += t.bytes;
    return all;
  }
  std::vector<Tally>& tallies() { return tallies_; }
  uint64_t Overtaken() const {
    uint64_t all = 0;
    for (const auto& r : receivers_) all += r->overtaken;
    return all;
  }

 private:
  void Read(Receiver& receiver, Tally& tally) {
    std::vector<char> buffer(kReadSize);
    std::string line;
    while (!stop_) {
      const size_t n = receiver.Receive(buffer.data(), buffer.size());
      const int64_t now = NowNs();
      for (const char* at = buffer.data(); at < buffer.data() + n;) {
        const char* end = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(buffer.data() + n - at)));
        line.append(at, end != nullptr ? end + 1 : buffer.data() + n);
        if (end == nullptr) break;
        at = end + 1;
        if (const auto p = ParseLine(line); p && p->run == run_) {
          tally.warm = true;
          if (p->seq >= 0) {
            tally.latenciesNs.push_back(now - p->sentNs);
            tally.bytes += line.size();
            tally.lastNs = now;
          }
        }
        line.clear();
      }
    }
  }

  int run_;
  std::atomic<bool> stop_{false};
  std::vector<Tally> tallies_;
  std::vector<std::unique_ptr<Receiver>> receivers_;
  std::vector<std::thread> threads_;
};

// Warm-up lines (sequence -1) until every client has one: the writer pulls, gpsd has synced.
// False when some client got none.
bool WarmUp(Server& server, Clients& clients, int run) {
  const auto until = Clock::now() + 10s;
  while (!clients.Warm() && Clock::now() < until) {
    WriteAll(server.Feed(), Line(run, -1, NowNs()));
    std::this_thread::sleep_for(20ms);
  }
  return clients.Warm();
}

// Waits until the clients have `expected` bytes each, or nothing more arrives.
void Drain(const Clients& clients, uint64_t expected) {
  uint64_t seen = 0;
  auto lastProgress = Clock::now();
  while (clients.Received() < expected && Clock::now() - lastProgress < kStall) {
    std::this_thread::sleep_for(5ms);
    if (const uint64_t now = clients.Received(); now != seen) {
      seen = now;
      lastProgress = Clock::now();
    }
  }
}

void ReportLoss(benchmark::State& state, Clients& clients, uint64_t sentBytes) {
  uint64_t lost = 0, worst = 0;
  for (const Tally& t : clients.tallies()) {
    const uint64_t missing = sentBytes - std::min<uint64_t>(t.bytes, sentBytes);
    lost += missing;
    worst = std::max(worst, missing);
  }
  state.counters["lost_bytes"] = static_cast<double>(lost);
  state.counters["worst_client_lost"] = static_cast<double>(worst);
  state.counters["overtaken"] = static_cast<double>(clients.Overtaken());
}

// ---- the scenarios

struct Bench {
  VirtualPortServer port;
  GpsdServer gpsd;
  FloorServer floor;
  int runs = 0;
  std::map<std::string, double> summary;  // "p99_us sercast/8" and the like
};

Bench* setup = nullptr;

Server& Subject(const std::string& name) {
  if (name == "floor") return setup->floor;
  return name == "gpsd" ? static_cast<Server&>(setup->gpsd) : static_cast<Server&>(setup->port);
}

double Percentile(std::vector<int64_t>& ns, double fraction) {
  if (ns.empty()) return 0;
  const auto at = ns.begin() + static_cast<ptrdiff_t>(fraction * static_cast<double>(ns.size() - 1));
  std::nth_element(ns.begin(), at, ns.end());
  return static_cast<double>(*at) / 1000.0;
}

void Latency(benchmark::State& state, const std::string& name) {
  Server& server = Subject(name);
  const int clientCount = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const int run = ++setup->runs;
    Clients clients(server, clientCount, run);
    if (!WarmUp(server, clients, run)) {
      state.SkipWithError("a client received nothing");
      break;
    }
    uint64_t sent = 0;
    const auto start = Clock::now();
    for (int seq = 0; Clock::now() - start < kPacedFor; ++seq) {
      std::this_thread::sleep_until(start + seq * 1ms);
      const std::string line = Line(run, seq, NowNs());
      WriteAll(server.Feed(), line);
      sent += line.size();
    }
    Drain(clients, sent * static_cast<uint64_t>(clientCount));
    clients.Stop();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    std::vector<int64_t> all;
    for (const Tally& t : clients.tallies()) all.insert(all.end(), t.latenciesNs.begin(), t.latenciesNs.end());
    const std::string key = name + "/" + std::to_string(clientCount);
    state.counters["p50_us"] = setup->summary["p50_us " + key] = Percentile(all, 0.50);
    state.counters["p99_us"] = setup->summary["p99_us " + key] = Percentile(all, 0.99);
    ReportLoss(state, clients, sent);
  }
}

struct Burst {
  double deliveredPerSecond = 0;  // until the last client had its last byte
  uint64_t lost = 0, worstLost = 0, overtaken = 0;
};

// kBurstBytes of lines written at `rate` bytes a second (0: as fast as the terminal takes them),
// until every client has every byte or nothing more arrives.
std::optional<Burst> RunBurst(Server& server, int clientCount, double rate) {
  const int run = ++setup->runs;
  Clients clients(server, clientCount, run);
  if (!WarmUp(server, clients, run)) return std::nullopt;
  std::string burst;
  for (int seq = 0; burst.size() < kBurstBytes; ++seq) burst += Line(run, seq, 0);
  const auto start = Clock::now();
  const int64_t startNs = NowNs();
  for (size_t at = 0; at < burst.size(); at += kBurstChunk) {
    if (rate > 0) std::this_thread::sleep_until(start + std::chrono::duration<double>(static_cast<double>(at) / rate));
    WriteAll(server.Feed(), burst.substr(at, kBurstChunk));
  }
  Drain(clients, burst.size() * static_cast<uint64_t>(clientCount));
  clients.Stop();
  Burst result;
  int64_t endNs = startNs;
  for (const Tally& t : clients.tallies()) {
    endNs = std::max<int64_t>(endNs, t.lastNs);
    const uint64_t missing = burst.size() - std::min<uint64_t>(t.bytes, burst.size());
    result.lost += missing;
    result.worstLost = std::max(result.worstLost, missing);
  }
  result.overtaken = clients.Overtaken();
  result.deliveredPerSecond =
      static_cast<double>(burst.size()) / std::max(static_cast<double>(endNs - startNs) / 1e9, 1e-9);
  return result;
}

// What counts is the rate at which every client still gets every byte: the port's ring never
// waits for a slow reader, by design, so a burst faster than the readers loses bytes, where gpsd
// queues them. The rate doubles until bytes are lost or the server no longer keeps up; the best
// delivered rate without a loss is the throughput, and the first loss is reported beside it.
void Throughput(benchmark::State& state, const std::string& name) {
  Server& server = Subject(name);
  const int clientCount = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Burst best, lossy;
    double seconds = 0;
    for (double rate = kFirstRate;; rate *= 2) {
      const bool unpaced = rate > kLastRate;
      const std::optional<Burst> burst = RunBurst(server, clientCount, unpaced ? 0 : rate);
      if (!burst) {
        state.SkipWithError("a client received nothing");
        return;
      }
      seconds += static_cast<double>(kBurstBytes) / burst->deliveredPerSecond;
      if (burst->lost > 0) {
        lossy = *burst;
        break;
      }
      best.deliveredPerSecond = std::max(best.deliveredPerSecond, burst->deliveredPerSecond);
      if (unpaced || burst->deliveredPerSecond < 0.8 * rate) break;  // it no longer keeps up
    }
    state.SetIterationTime(seconds);
    state.counters["bytes_per_second"] = best.deliveredPerSecond;
    state.counters["lost_faster"] = static_cast<double>(lossy.lost);
    state.counters["worst_client_lost"] = static_cast<double>(lossy.worstLost);
    state.counters["overtaken"] = static_cast<double>(lossy.overtaken);
  }
}

// CPU time of all the threads of a process, in ns: the scheduler's own account, finer than the
// clock ticks of /proc/<pid>/stat (one tick is 0.2 % of a core over five seconds).
int64_t CpuNs(pid_t pid) {
  int64_t all = 0;
  std::error_code ignored;
  for (const auto& task : fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", ignored)) {
    std::ifstream stat(task.path() / "schedstat");
    int64_t ns = 0;
    if (stat >> ns) all += ns;
  }
  return all;
}

// Every read of our writer that times out is a request to the daemon; gpsd's watchers wait on
// their own side. So the daemon's idle load follows the writer's read time-out, measured at two.
void IdleCpu(benchmark::State& state, const std::string& name) {
  Server& server = Subject(name);
  const auto writerWaitMs = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    const int run = ++setup->runs;
    Clients clients(server, 8, run, writerWaitMs);
    if (!WarmUp(server, clients, run)) {
      state.SkipWithError("a client received nothing");
      break;
    }
    std::this_thread::sleep_for(1s);  // what the warm-up left settles
    const int64_t before = CpuNs(server.Pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(kIdleFor);
    const double cpuNs = static_cast<double>(CpuNs(server.Pid()) - before);
    const double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    state.SetIterationTime(wallNs / 1e9);
    state.counters["cpu_percent"] = setup->summary["idle_cpu " + name + "/" + std::to_string(writerWaitMs)] =
        100.0 * cpuNs / wallNs;
  }
}

void Register() {
  for (const char* name : {"sercast", "gpsd", "floor"}) {
    const std::string n = name;
    benchmark::RegisterBenchmark(("Latency/" + n).c_str(), [n](benchmark::State& s) { Latency(s, n); })
        ->ArgName("clients")
        ->Arg(1)
        ->Arg(8)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    if (n == "floor") continue;
    benchmark::RegisterBenchmark(("Throughput/" + n).c_str(), [n](benchmark::State& s) { Throughput(s, n); })
        ->ArgName("clients")
        ->Arg(1)
        ->Arg(8)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    auto* idle = benchmark::RegisterBenchmark(("IdleCpu/" + n).c_str(), [n](benchmark::State& s) { IdleCpu(s, n); });
    idle->ArgName("writer_wait_ms")->Arg(kWriterWaitMs);
    if (n == "sercast") idle->Arg(1000);
    idle->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  }
}

// A verdict only for what this run measured (a filter may have left scenarios out).
void PrintSummary() {
  auto& s = setup->summary;
  for (const char* clients : {"1", "8"}) {
    const std::string ours = std::string("sercast/") + clients, theirs = std::string("gpsd/") + clients;
    if (!s.contains("p99_us " + ours)) continue;
    const std::string floor = std::string("floor/") + clients;
    std::printf(
        "latency, %s clients: p50 %.0f us, p99 %.0f us (gpsd: p50 %.0f us, p99 %.0f us; floor: p50 %.0f us, p99 %.0f "
        "us); p99 <= %.0f us: %s\n",
        clients, s["p50_us " + ours], s["p99_us " + ours], s["p50_us " + theirs], s["p99_us " + theirs],
        s["p50_us " + floor], s["p99_us " + floor], kP99TargetUs,
        s["p99_us " + ours] <= kP99TargetUs ? "met" : "NOT met");
  }
  for (const char* wait : {"200", "1000"}) {
    const std::string ours = std::string("idle_cpu sercast/") + wait;
    if (!s.contains(ours)) continue;
    std::printf(
        "idle CPU, 8 clients, writer's read time-out %s ms: devmgrd %.3f %% of a core (gpsd %.3f %%); < %.1f %%: %s\n",
        wait, s[ours], s["idle_cpu gpsd/200"], kIdleTargetPercent, s[ours] < kIdleTargetPercent ? "met" : "NOT met");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The daemon, its registry and the port map live in a system root of this run alone.
  const fs::path root = fs::temp_directory_path() / ("port_sharing_bench_" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("DW_SYSTEM_ROOT", root.c_str(), 1);
  int result = 0;
  {
    Bench shared;
    setup = &shared;
    Register();
    bench::RatioReporter reporter("Throughput/sercast/clients:8", "Throughput/gpsd/clients:8", "bytes_per_second", 1.0);
    result = bench::RunWithRatio(argc, argv, reporter);
    PrintSummary();
  }
  fs::remove_all(root);
  return result;
}
